#include "platform_os/thread_platform.h"

#include <cerrno>
#include <climits>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace Platform {

struct NativeThread::Handle {
  pthread_t thread{};
};

namespace {

struct StartRecord {
  NativeThread::Entry entry;
  void* argument;
};

void* ThreadMain(void* raw) {
  StartRecord record = *static_cast<StartRecord*>(raw);
  delete static_cast<StartRecord*>(raw);
  record.entry(record.argument);
  return nullptr;
}

}  // namespace

NativeThread::NativeThread() : handle(std::make_unique<Handle>()) {}

NativeThread::~NativeThread() { Join(); }

int NativeThread::Create(Entry entry, void* argument, std::size_t stackSize) {
  if (created) return EINVAL;
  pthread_attr_t attributes;
  int error = pthread_attr_init(&attributes);
  if (error != 0) return error;
  if (stackSize != 0) {
    std::size_t minimum = PTHREAD_STACK_MIN;
    std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    std::size_t size = stackSize < minimum ? minimum : stackSize;
    if (page != 0) size = (size + page - 1) / page * page;
    error = pthread_attr_setstacksize(&attributes, size);
  }
  if (error == 0) {
    auto* record = new StartRecord{entry, argument};
    error = pthread_create(&handle->thread, &attributes, ThreadMain, record);
    if (error != 0) {
      delete record;
    } else {
      created = true;
    }
  }
  pthread_attr_destroy(&attributes);
  return error;
}

bool NativeThread::IsCurrent() const {
  return created && pthread_equal(handle->thread, pthread_self()) != 0;
}

bool NativeThread::SetName(const std::string& name) {
  if (!created) return false;
  return pthread_setname_np(handle->thread, ShortThreadName(name).c_str()) == 0;
}

void NativeThread::Join() {
  if (!created) return;
  pthread_join(handle->thread, nullptr);
  created = false;
}

std::string ShortThreadName(const std::string& name) {
  if (name.size() <= kMaxThreadNameBytes) return name;
  std::size_t cut = kMaxThreadNameBytes;
  // Back up over UTF-8 continuation bytes so the name ends on a whole character.
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
  return name.substr(0, cut);
}

bool SetCurrentThreadName(const std::string& name) {
  return pthread_setname_np(pthread_self(), ShortThreadName(name).c_str()) == 0;
}

std::string CurrentThreadName() {
  char buffer[kMaxThreadNameBytes + 1] = {};
  if (pthread_getname_np(pthread_self(), buffer, sizeof buffer) != 0) return {};
  return buffer;
}

// Linux keeps a niceness per thread (-20 most favoured .. 19 least). The relative levels map as
//   -2 lowest        -> 19
//   -1 below normal  -> 10
//    0 normal        -> unchanged (the thread keeps what it inherited)
//   +1 above normal  -> -5
//   +2 highest       -> -10
// Lowering priority is always allowed; raising it needs CAP_SYS_NICE or a matching RLIMIT_NICE,
// and without them the call fails and the thread stays as it is.
bool SetCurrentThreadPriority(int32_t level) {
  int niceness;
  switch (level) {
    case -2: niceness = 19; break;
    case -1: niceness = 10; break;
    case 0: return true;
    case 1: niceness = -5; break;
    case 2: niceness = -10; break;
    default: return false;
  }
  return setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), niceness) == 0;
}

int CurrentThreadNiceness() {
  errno = 0;
  return getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
}

int32_t LogicalProcessorCount() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    int count = CPU_COUNT(&set);
    if (count > 0) return count;
  }
  long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 && online < INT32_MAX ? static_cast<int32_t>(online) : 1;
}

}  // namespace Platform
