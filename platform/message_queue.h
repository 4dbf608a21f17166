#pragma once

#include "platform/window_messages.h"

// The window thread's message queue as the window code and the event translation feed it.
namespace Platform {

void EnqueueMessage(Window* window, uint32_t message, WPARAM wParam, LPARAM lParam);
// Drops the messages still waiting for a window that is going away.
void DropMessagesFor(const Window* window);

}  // namespace Platform
