// What the browser's C library declares but does not have, for the few calls the platform makes
// (the rasteriser's threads and the memory figures of the debug log and the device): there are no
// other threads to schedule, and the memory is the program's own heap.
#include <emscripten/heap.h>
#include <sched.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

extern "C" {

int sched_getaffinity(pid_t, size_t, cpu_set_t*) {
    errno = ENOSYS;
    return -1;
}

int sched_setscheduler(pid_t, int, const struct sched_param*) {
    errno = ENOSYS;
    return -1;
}

// CPU_COUNT's helper.
int __sched_cpucount(size_t, const cpu_set_t*) { return 0; }

int sysinfo(struct sysinfo* info) {
    std::memset(info, 0, sizeof(*info));
    const uintptr_t heapMax = emscripten_get_heap_max();
    const uintptr_t used = reinterpret_cast<uintptr_t>(sbrk(0));
    info->totalram = heapMax;
    info->freeram = heapMax > used ? heapMax - used : 0;
    info->mem_unit = 1;
    info->procs = 1;
    return 0;
}

}  // extern "C"
