#include "platform/files/test_hooks.h"

#ifdef VRX_TEST_HOOKS

#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vrx::sqlite_detail {
namespace {

long env_number(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::atol(value) : 0;
}

struct Counter {
  long count = 0;
  long kill_after = env_number("VRX_KILL_AFTER_OPERATION");
  long delay_us = env_number("VRX_OPERATION_DELAY_US");
  const char* count_file = std::getenv("VRX_OPERATION_COUNT_FILE");
  ~Counter() {
    if (count_file == nullptr) return;
    if (std::FILE* out = std::fopen(count_file, "w")) {
      std::fprintf(out, "%ld\n", count);
      std::fclose(out);
    }
  }
};

Counter& counter() {
  static Counter c;
  return c;
}

// An SQLite layer over the default one that fails the N-th write or sync of
// any file (VRX_FAIL_WRITE=N, counted together) once, as a failing disk
// would; VRX_WRITE_COUNT_FILE gets the number of writes and syncs at exit.
struct FaultFile {
  sqlite3_file base;
  sqlite3_file* real;
};

sqlite3_vfs* real_vfs = nullptr;
sqlite3_vfs fault_vfs;
sqlite3_io_methods fault_methods;
long fail_at = 0;
std::atomic<long> writes{0};

sqlite3_file* real(sqlite3_file* f) { return reinterpret_cast<FaultFile*>(f)->real; }

bool fails_now() { return ++writes == fail_at; }

int fault_close(sqlite3_file* f) { return real(f)->pMethods->xClose(real(f)); }
int fault_read(sqlite3_file* f, void* b, int n, sqlite3_int64 o) {
  return real(f)->pMethods->xRead(real(f), b, n, o);
}
int fault_write(sqlite3_file* f, const void* b, int n, sqlite3_int64 o) {
  if (fails_now()) return SQLITE_IOERR_WRITE;
  return real(f)->pMethods->xWrite(real(f), b, n, o);
}
int fault_truncate(sqlite3_file* f, sqlite3_int64 size) {
  return real(f)->pMethods->xTruncate(real(f), size);
}
int fault_sync(sqlite3_file* f, int flags) {
  if (fails_now()) return SQLITE_IOERR_FSYNC;
  return real(f)->pMethods->xSync(real(f), flags);
}
int fault_file_size(sqlite3_file* f, sqlite3_int64* size) {
  return real(f)->pMethods->xFileSize(real(f), size);
}
int fault_lock(sqlite3_file* f, int l) { return real(f)->pMethods->xLock(real(f), l); }
int fault_unlock(sqlite3_file* f, int l) { return real(f)->pMethods->xUnlock(real(f), l); }
int fault_check_reserved(sqlite3_file* f, int* out) {
  return real(f)->pMethods->xCheckReservedLock(real(f), out);
}
int fault_file_control(sqlite3_file* f, int op, void* arg) {
  if (op == SQLITE_FCNTL_FILE_POINTER) {
    *static_cast<sqlite3_file**>(arg) = f;
    return SQLITE_OK;
  }
  return real(f)->pMethods->xFileControl(real(f), op, arg);
}
int fault_sector_size(sqlite3_file* f) { return real(f)->pMethods->xSectorSize(real(f)); }
int fault_device(sqlite3_file* f) { return real(f)->pMethods->xDeviceCharacteristics(real(f)); }
int fault_shm_map(sqlite3_file* f, int page, int size, int extend, void volatile** out) {
  return real(f)->pMethods->xShmMap(real(f), page, size, extend, out);
}
int fault_shm_lock(sqlite3_file* f, int offset, int n, int flags) {
  return real(f)->pMethods->xShmLock(real(f), offset, n, flags);
}
void fault_shm_barrier(sqlite3_file* f) { real(f)->pMethods->xShmBarrier(real(f)); }
int fault_shm_unmap(sqlite3_file* f, int del) { return real(f)->pMethods->xShmUnmap(real(f), del); }

int fault_open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* out_flags) {
  FaultFile* file = reinterpret_cast<FaultFile*>(f);
  file->real = reinterpret_cast<sqlite3_file*>(file + 1);
  file->base.pMethods = nullptr;
  int rc = real_vfs->xOpen(real_vfs, name, file->real, flags, out_flags);
  if (file->real->pMethods != nullptr) file->base.pMethods = &fault_methods;
  return rc;
}

struct FaultLayer {
  long write_count_wanted = 0;
  const char* write_count_file = std::getenv("VRX_WRITE_COUNT_FILE");
  FaultLayer() {
    fail_at = env_number("VRX_FAIL_WRITE");
    if (fail_at == 0 && write_count_file == nullptr) return;
    real_vfs = sqlite3_vfs_find(nullptr);
    fault_vfs = *real_vfs;
    fault_vfs.zName = "vrx-fault";
    fault_vfs.szOsFile = static_cast<int>(sizeof(FaultFile)) + real_vfs->szOsFile;
    fault_vfs.xOpen = fault_open;
    fault_methods = {2,
                     fault_close,
                     fault_read,
                     fault_write,
                     fault_truncate,
                     fault_sync,
                     fault_file_size,
                     fault_lock,
                     fault_unlock,
                     fault_check_reserved,
                     fault_file_control,
                     fault_sector_size,
                     fault_device,
                     fault_shm_map,
                     fault_shm_lock,
                     fault_shm_barrier,
                     fault_shm_unmap,
                     nullptr,
                     nullptr};
    sqlite3_vfs_register(&fault_vfs, 1);
  }
  ~FaultLayer() {
    if (write_count_file == nullptr) return;
    if (std::FILE* out = std::fopen(write_count_file, "w")) {
      std::fprintf(out, "%ld\n", writes.load());
      std::fclose(out);
    }
  }
};

FaultLayer fault_layer;

}  // namespace

void count_operation() {
  Counter& c = counter();
  if (c.delay_us > 0) ::usleep(static_cast<useconds_t>(c.delay_us));
  if (++c.count == c.kill_after) ::kill(::getpid(), SIGKILL);
}

}  // namespace vrx::sqlite_detail

#endif
