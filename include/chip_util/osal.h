/* SPDX-License-Identifier: Apache-2.0 */
/* The OS abstraction layer: counted heap blocks, clocks and waits, locks,
 * named semaphores, threads and thin string wrappers.
 *
 * Everything here is a thin layer over POSIX threads, semaphores and clocks.
 * Nothing prints, nothing runs in the background, and the platform's error
 * number is left as the failing call set it. Every function may be called
 * from any thread. The allocation counters and the fallback clock counter
 * are diagnostic globals updated without a lock: concurrent allocations and
 * releases may lose a counter update, and nothing depends on their being
 * exact. */
#ifndef CHIP_UTIL_OSAL_H
#define CHIP_UTIL_OSAL_H

#include <semaphore.h>
#include <stdint.h>
#include <time.h>

#include "chip_util/export.h"

CHIP_UTIL_BEGIN_DECLS

/* ==== Memory accounting ===================================================
 *
 * Every block from osal_malloc_sdk carries an 8-byte header in front of the
 * caller's area, two 32-bit words in the machine's byte order: the tag
 * (module number << 24 | 0xAAAAAA) and the size the caller asked for. The
 * per-module counters below follow every allocation and release. */

/* Module numbers run from 0 to OSAL_MODULE_COUNT - 1; module 0 is the
 * layer's own (lock objects, thread start records). */
#define OSAL_MODULE_COUNT 10u
#define OSAL_BLOCK_HEADER_SIZE 8u
#define OSAL_BLOCK_TAG_MAGIC 0xAAAAAAu
#define OSAL_BLOCK_TAG(module) (CHIP_UTIL_U32((CHIP_UTIL_U32(module) << 24) | OSAL_BLOCK_TAG_MAGIC))

/* The counters of one module. */
typedef struct osal_malloc_counters {
  uint32_t malloc_size;      /* bytes held: requested sizes not yet released */
  uint32_t malloc_count;     /* successful allocations */
  uint32_t free_count;       /* verified releases */
  uint32_t free_error_count; /* releases refused by the header check */
} osal_malloc_counters;

/* Hook slots kept for the drivers: the library stores them and never calls
 * them. Allocation always goes to hdk_malloc and release to hdk_free. */
typedef void *(*osal_malloc_hook)(uint32_t module, uint32_t size);
typedef void (*osal_free_hook)(uint32_t module, void *area);

typedef struct osal_hook_funcs {
  osal_malloc_hook malloc_hook;
  osal_free_hook free_hook;
} osal_hook_funcs;

/* One entry per module number, zero at load; never reset. */
CHIP_UTIL_API extern osal_malloc_counters g_osal_malloc_data[OSAL_MODULE_COUNT];
/* Both slots null at load. */
CHIP_UTIL_API extern osal_hook_funcs g_osal_hook_funcs;

/* Does nothing: the counters are zero from load time. */
CHIP_UTIL_API void osal_memory_handle_init(void);

/* Store `hook` (null allowed) into the first / second slot of
 * g_osal_hook_funcs. Changes no allocation. */
CHIP_UTIL_API void osal_register_malloc(osal_malloc_hook hook);
CHIP_UTIL_API void osal_register_free(osal_free_hook hook);

/* A block of `size` bytes counted under `module`: the header is written,
 * the module's malloc_size grows by `size` and its malloc_count by 1.
 * Null, counting nothing, for a size of 0, for a size above
 * UINT32_MAX - 8 (the header would not fit a 32-bit request), for a module
 * number of OSAL_MODULE_COUNT or more (it has no counters), or when the
 * heap (or the registry of live blocks, see osal_free_sdk) is exhausted. */
CHIP_UTIL_API void *osal_malloc_sdk(uint32_t module, uint32_t size);

/* As osal_malloc_sdk, with the area filled with zero bytes. */
CHIP_UTIL_API void *osal_malloc_zero_sdk(uint32_t module, uint32_t size);

/* Releases a block from osal_malloc_sdk under the module it was allocated
 * under. The library keeps a registry of the blocks that are live (handed
 * out and not yet released), apart from the blocks themselves, and
 * consults it first: a pointer that is not a live block (a second release
 * of any block, of any size, even one whose pages the heap has already
 * returned to the system; a pointer into a block; memory that never came
 * from osal_malloc_sdk, forged header or not) counts 1 in free_error_count
 * of `module`, and nothing is read, written or freed. So every double
 * release is counted, until the heap hands the same address out again
 * through osal_malloc_sdk: from then on the pointer names the new block.
 * For a live block, the release is verified when the header's tag carries
 * 0xAAAAAA in its low 24 bits and `module` in its top 8, and the module's
 * malloc_size is at least the header's size: then malloc_size shrinks by
 * that size, free_count grows by 1, both header words are set to 0 and the
 * block goes back to the heap. Otherwise free_error_count of `module` (the
 * caller's, not the tag's) grows by 1 and the header is left as it is; a
 * block whose tag is intact (wrong module, or a size above the module's
 * count) still goes back to the heap, while a block whose tag was damaged
 * is kept (not freed, still live): the header may be repaired and the
 * block released again.
 * A null pointer, and any pointer with a module number of
 * OSAL_MODULE_COUNT or more, is ignored: nothing is read, freed or counted.
 * The registry costs a short lock per allocation and release, held by no
 * two threads for the same shard of addresses at once (see bench/). */
CHIP_UTIL_API void osal_free_sdk(uint32_t module, void *area);

/* ==== Time, delays and stack trace ======================================= */

/* Stands in for the monotonic clock when it cannot be read: each failed
 * reading returns its value and adds 1. Zero at load, never reset. */
CHIP_UTIL_API extern uint64_t g_ui_usec_for_fail;

/* Local date and time. Seven bytes of content (offsets 0 to 6); byte 7 is
 * alignment padding that osal_sys_time_get never writes. */
typedef struct osal_date_time {
  uint16_t year;  /* full year, e.g. 2026 */
  uint8_t month;  /* 1 to 12 */
  uint8_t day;    /* 1 to 31 */
  uint8_t hour;   /* 0 to 23 */
  uint8_t minute; /* 0 to 59 */
  uint8_t second; /* 0 to 60 (leap second) */
} osal_date_time;

/* Microseconds on the monotonic clock from an arbitrary origin: the
 * seconds (taken as 32 bits) times 1 000 000 plus nanoseconds / 1000.
 * When the clock cannot be read, the next value of g_ui_usec_for_fail,
 * so successive failing readings give 0, 1, 2, ... */
CHIP_UTIL_API uint64_t hdk_time_usecs(void);

/* Wall-clock milliseconds since the Epoch (gettimeofday); 0 when the clock
 * cannot be read. */
CHIP_UTIL_API int64_t osal_get_time_ms(void);

/* Writes the local date and time into bytes 0 to 6 of `out` and nothing
 * else; always returns 0. A failed conversion writes 1900-01-00 00:00:00.
 * A null `out` is not written through (the call still returns 0). */
CHIP_UTIL_API int32_t osal_sys_time_get(osal_date_time *out);

/* localtime_r(time, out), result passed through. */
CHIP_UTIL_API struct tm *osal_localtime_r(const time_t *time, struct tm *out);

/* Sleeping waits of n nanoseconds, microseconds or milliseconds. A signal
 * never shortens them: an interrupted sleep resumes with the remaining
 * time. Any other failure of the sleep ends the wait silently. */
CHIP_UTIL_API void osal_ns_delay(uint32_t ns);
CHIP_UTIL_API void osal_usleep(uint32_t us);
CHIP_UTIL_API void osal_ms_delay(uint32_t ms);

/* Busy wait: reads hdk_time_usecs in a tight loop until `us` microseconds
 * have passed. Keeps a processor occupied; never sleeps. */
CHIP_UTIL_API void osal_udelay(uint32_t us);

/* One usleep(ms * 1000), computed in 32 bits (so ms is at most 4 294 967);
 * returns its result. An interrupted sleep is not resumed. */
CHIP_UTIL_API int32_t osal_task_delay(uint32_t ms);

/* Captures up to min(frames, 10) return addresses and asks for their
 * symbolic names, which are released unread: 0 when they could be
 * produced, -1 otherwise. Prints nothing. */
CHIP_UTIL_API int32_t osal_stack_trace(uint32_t frames);

/* ==== Int locks =============================================================
 *
 * A lock object lives behind a caller-owned handle slot (a void * variable);
 * every call takes the slot's address. Objects are counted under module 0.
 * A slot must not be initialised or destroyed while another thread locks or
 * unlocks through it. */

/* Same as osal_int_lock_no_mutex_init. */
CHIP_UTIL_API int32_t osal_int_lock_init(void **slot);

/* Stores a new semaphore lock (process-private, free) into *slot: 0, or -1
 * for a null slot address or a failure (a failed allocation leaves *slot
 * untouched; a failed semaphore set-up releases the object and sets *slot
 * to null). */
CHIP_UTIL_API int32_t osal_int_lock_no_mutex_init(void **slot);

/* Stores a new recursive mutex into *slot: 0, or -1 for a null slot
 * address or any failure (then *slot is null). The library has no call
 * that takes, gives or destroys such a mutex: osal_int_lock,
 * osal_int_unlock and osal_int_lock_destroy must never be handed it. */
CHIP_UTIL_API int32_t osal_int_lock_mutex_init(void **slot);

/* Waits for the semaphore lock in *slot: the lock object once taken; null
 * for a null slot address or a failed wait (a signal interrupting the wait
 * is not retried). Not recursive. A slot that holds no lock (null: never
 * initialised, or destroyed) gives null with errno EINVAL. */
CHIP_UTIL_API void *osal_int_lock(void **slot);

/* Gives the semaphore lock in *slot back; a null slot address is ignored,
 * and so (with errno EINVAL) is a slot that holds no lock.
 * The lock has no owner: any thread may unlock, and an extra unlock lets a
 * second holder in. */
CHIP_UTIL_API void osal_int_unlock(void **slot);

/* Destroys the semaphore lock in *slot and releases it: 0 with *slot set to
 * null; -1 for a null slot address; -1 with errno EINVAL for a slot that
 * holds no lock (a second destroy included); -1 when the semaphore cannot
 * be destroyed (object and slot then stay as they were). */
CHIP_UTIL_API int32_t osal_int_lock_destroy(void **slot);

/* ==== Named semaphores ==================================================== */

/* A named semaphore as hdk_sem_destroy takes it: the caller fills `name`
 * (at most 31 characters and a zero), passes it to hdk_sem_create and
 * stores the result in `sem`. */
typedef struct hdk_named_sem {
  char name[32];
  sem_t *sem;
} hdk_named_sem;

/* sem_open(name, O_CREAT, 0644, value): an existing semaphore of that name
 * is opened unchanged, a new one is created with `value`. Null for a null
 * name; SEM_FAILED (with errno set) when sem_open fails. `reserved` is
 * accepted and ignored. */
CHIP_UTIL_API sem_t *hdk_sem_create(const char *name, uint32_t reserved, uint32_t value);

/* sem_close(record->sem), then sem_unlink(record->name); both results are
 * ignored. A null record is ignored. A null (SEM_FAILED) handle, left by a
 * failed hdk_sem_create, is not closed; the name is still unlinked. */
CHIP_UTIL_API void hdk_sem_destroy(hdk_named_sem *record);

/* sem_wait(sem), result passed through (-1 also when a signal interrupts
 * it); -1 for a null handle. */
CHIP_UTIL_API int32_t hdk_sem_take(sem_t *sem);

/* Takes the semaphore within `timeout_us` microseconds: 0 when taken, -1
 * otherwise (also for a null handle). UINT32_MAX waits without limit,
 * across signals. Any other timeout polls sem_trywait without pausing (a
 * processor stays busy) until it succeeds or hdk_time_usecs shows the
 * timeout passed; a timeout of 0 makes exactly one attempt. */
CHIP_UTIL_API int32_t hdk_sem_take_timeout(sem_t *sem, uint32_t timeout_us);

/* sem_post(sem), result passed through; -1 for a null handle. */
CHIP_UTIL_API int32_t hdk_sem_give(sem_t *sem);

/* ==== Threads ============================================================= */

/* The platform's thread id as an unsigned number; 0 means no thread. */
typedef uintptr_t osal_thread_id;

/* A thread's entry function; its result is ignored. */
typedef void *(*osal_thread_entry)(void *arg);

/* What a new thread runs: allocated by osal_thread_create under module 0,
 * released by the new thread itself. */
typedef struct osal_thread_start_info {
  osal_thread_entry entry;
  void *arg;
} osal_thread_start_info;

/* Starts a joinable thread running entry(arg) (a null entry starts a
 * thread that just ends): its id, or 0 when the start record cannot be
 * allocated or the thread cannot be created (the record is then released).
 * The three leading arguments are accepted and ignored. */
CHIP_UTIL_API osal_thread_id osal_thread_create(uint32_t reserved0, uint32_t reserved1,
                                                uint32_t reserved2, osal_thread_entry entry,
                                                void *arg);

/* The start function of every thread from osal_thread_create, given its
 * osal_thread_start_info: calls entry(arg) if entry is set, releases the
 * record under module 0 and returns null. A null record returns null. */
CHIP_UTIL_API void *osal_th_start_routine(void *start_info);

/* pthread_cancel(thread), result passed through (0 or an error number).
 * The id 0 ("no thread") gives ESRCH and is never handed to the platform. */
CHIP_UTIL_API int32_t osal_thread_destroy(osal_thread_id thread);

/* The calling thread's id. */
CHIP_UTIL_API osal_thread_id osal_thread_self(void);

/* A constant " " (one blank) for every thread. */
CHIP_UTIL_API const char *osal_thread_name(void);

/* pthread_detach(thread), result passed through (0 or an error number).
 * The id 0 ("no thread") gives ESRCH and is never handed to the platform. */
CHIP_UTIL_API int32_t osal_thread_detach(osal_thread_id thread);

/* ==== String and sort wrappers ============================================
 * Pass-throughs to the platform function of the same name: no test of
 * their own, a null argument reaches the platform function as it came. */
CHIP_UTIL_API int32_t osal_memcmp(const void *a, const void *b, uint32_t count);
CHIP_UTIL_API char *osal_strchr(const char *text, int32_t ch);
CHIP_UTIL_API int32_t osal_strcmp(const char *a, const char *b);
CHIP_UTIL_API uint32_t osal_strlen(const char *text);
CHIP_UTIL_API char *osal_strtok_r(char *text, const char *delimiters, char **position);
CHIP_UTIL_API void osal_qsort(void *base, uint32_t count, uint32_t size,
                              int (*compare)(const void *, const void *));

/* Case-insensitive comparison through the calling thread's locale: 0 when
 * equal ignoring case, otherwise the first differing pair of lowered bytes,
 * first minus second; -1 when either text is null. */
CHIP_UTIL_API int32_t osal_stricmp(const char *a, const char *b);

CHIP_UTIL_END_DECLS

#endif /* CHIP_UTIL_OSAL_H */
