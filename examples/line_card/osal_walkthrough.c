/* SPDX-License-Identifier: Apache-2.0 */
/* The OS layer: a worker thread waits on a named semaphore with a time
 * limit while the main thread gives it, and the per-module heap counters
 * show the layer's own objects coming and going. */
#define _POSIX_C_SOURCE 200809L

#include <chip_util/chip_util.h>

#include <pthread.h>
#include <stdio.h>
#include <unistd.h>

#include "walkthrough.h"

enum { LC_MODULE_OAM = 3 };

struct oam_worker {
  sem_t *alarm;
  int32_t take_result;
  uint64_t waited_us;
};

static void *oam_worker_main(void *arg) {
  struct oam_worker *worker = (struct oam_worker *)arg;
  const uint64_t start = hdk_time_usecs();
  worker->take_result = hdk_sem_take_timeout(worker->alarm, 2000000u);
  worker->waited_us = hdk_time_usecs() - start;
  return NULL;
}

static void print_counters(const char *when, uint32_t module) {
  const osal_malloc_counters *c = &g_osal_malloc_data[module];
  printf("  %-7s module %u: %u bytes held, %u allocations, %u releases, %u refused\n", when,
         (unsigned)module, (unsigned)c->malloc_size, (unsigned)c->malloc_count,
         (unsigned)c->free_count, (unsigned)c->free_error_count);
}

int walkthrough_osal(void) {
  hdk_named_sem alarm;
  struct oam_worker worker = {NULL, -1, 0};
  osal_thread_id thread;
  void *lock = NULL;
  void *frame;
  int failures = 0;

  puts("\n== OS layer");
  print_counters("before:", 0);
  print_counters("before:", LC_MODULE_OAM);

  /* A name of our own, so that two demos on one machine do not meet. */
  snprintf(alarm.name, sizeof alarm.name, "/line_card_alarm_%ld", (long)getpid());
  alarm.sem = hdk_sem_create(alarm.name, 0, 0);
  if (alarm.sem == NULL || alarm.sem == SEM_FAILED) {
    puts("could not create the alarm semaphore");
    return 1;
  }
  printf("named semaphore %s created with value 0\n", alarm.name);

  failures += osal_int_lock_init(&lock) != 0;
  frame = osal_malloc_zero_sdk(LC_MODULE_OAM, 64);
  failures += frame == NULL;
  puts("a lock (module 0) and a 64-byte OAM frame buffer (module 3) allocated:");
  print_counters("now:", 0);
  print_counters("now:", LC_MODULE_OAM);

  worker.alarm = alarm.sem;
  thread = osal_thread_create(0, 0, 0, oam_worker_main, &worker);
  if (thread == 0) {
    puts("could not start the worker");
    failures += 1;
  } else {
    puts("worker started: it waits up to 2 s for the alarm");
    osal_ms_delay(20);
    printf("main thread gives the alarm after 20 ms: result %d\n", (int)hdk_sem_give(alarm.sem));
    /* The thread is joinable; its id is the platform's thread id. */
    failures += pthread_join((pthread_t)thread, NULL) != 0;
    printf("worker took it: result %d after about %u ms\n", (int)worker.take_result,
           (unsigned)(worker.waited_us / 1000u));
    failures += worker.take_result != 0;
  }
  worker.take_result = hdk_sem_take_timeout(alarm.sem, 10000u);
  printf("a second take with a 10 ms limit, nobody giving: result %d\n", (int)worker.take_result);
  failures += worker.take_result != -1;

  hdk_sem_destroy(&alarm);
  osal_free_sdk(LC_MODULE_OAM, frame);
  failures += osal_int_lock_destroy(&lock) != 0;
  puts("everything released (the worker's start record by the worker itself):");
  print_counters("after:", 0);
  print_counters("after:", LC_MODULE_OAM);
  failures += g_osal_malloc_data[LC_MODULE_OAM].malloc_size != 0;
  return failures;
}
