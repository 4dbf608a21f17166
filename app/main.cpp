// patinex: ages a model step by step and shows its dirt and rust.
#include "app/application.h"
#include "framework/framework.h"

int main() {
  if (StartApplication(true)) FrameworkMainLoop();
  return ShutdownApplication();
}
