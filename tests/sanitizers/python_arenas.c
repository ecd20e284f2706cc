// Preloaded by scripts/sanitize.sh into the host stand-in and every process
// it starts. CPython keeps its small objects in arenas of its own, memory
// that LeakSanitizer neither tracks nor scans: a large object referred to
// only from small ones would look leaked. Here each arena is a root region
// that LeakSanitizer scans, so only what no live object refers to is
// reported.
#include <Python.h>
#include <sanitizer/lsan_interface.h>
#include <sys/mman.h>

// Weak: processes without Python (compilers a test starts) load this too.
#pragma weak PyObject_SetArenaAllocator

static void *allocateArena(void *context, size_t size)
{
    (void)context;
    void *arena = mmap(NULL, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (arena == MAP_FAILED)
        return NULL;
    __lsan_register_root_region(arena, size);
    return arena;
}

static void freeArena(void *context, void *arena, size_t size)
{
    (void)context;
    __lsan_unregister_root_region(arena, size);
    munmap(arena, size);
}

__attribute__((constructor)) static void scanPythonArenas(void)
{
    if (!PyObject_SetArenaAllocator)
        return;
    PyObjectArenaAllocator allocator = {NULL, allocateArena, freeArena};
    PyObject_SetArenaAllocator(&allocator);
}
