/* SPDX-License-Identifier: GPL-3.0-or-later */
/* The C interface as a C program sees it, on the simulated EVM: written in
 * C99 so the header is held to C, and run on Linux and, under Wine, against
 * the DLL. Usage: capi_test SCRATCH_FOLDER SCRIPT_FILE */
#ifndef _WIN32
#define _POSIX_C_SOURCE 200809L /* nanosleep, clock_gettime */
#endif
#include <math.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "zm5520evm/zm5520evm.h"

#ifdef _WIN32
#include <windows.h>
typedef HANDLE thread_t;
static void sleep_ms(int ms) {
  Sleep((DWORD)ms);
}
static double now_s(void) {
  return (double)GetTickCount64() / 1000.0;
}
#else
#include <pthread.h>
#include <time.h>
typedef pthread_t thread_t;
static void sleep_ms(int ms) {
  struct timespec t;
  t.tv_sec = ms / 1000;
  t.tv_nsec = (long)(ms % 1000) * 1000000L;
  nanosleep(&t, NULL);
}
static double now_s(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}
#endif

static int failures = 0;
#define CHECK(cond, ...)                                     \
  do {                                                       \
    if (!(cond)) {                                           \
      ++failures;                                            \
      printf("FAIL %s:%d: %s: ", __FILE__, __LINE__, #cond); \
      printf(__VA_ARGS__);                                   \
      printf("\n");                                          \
    }                                                        \
  } while (0)

static const char* scratch = ".";
static const char* script = "";

static zm_bench* open_bench(const char* fault, int fake_clock, double volts) {
  zm_options o;
  zm_bench* b = NULL;
  zm_status s;
  zm_options_init(&o);
  o.simulate = 1;
  o.fake_clock = fake_clock;
  o.reference_volts = volts;
  strncpy(o.sim_fault, fault, sizeof o.sim_fault - 1);
  s = zm_open(&o, &b);
  CHECK(s == ZM_OK && b, "open '%s': %s", fault, zm_status_name(s));
  return b;
}

static zm_bench* calibrated(int fake_clock) {
  zm_bench* b = open_bench("", fake_clock, 5.0);
  zm_calibration_restore r;
  CHECK(zm_calibrate_if_blank(b, &r) == ZM_OK && r.was_blank && r.wrote, "calibrate");
  return b;
}

static const char* error_text(const zm_bench* b) {
  static char text[2048];
  zm_last_error(b, text, sizeof text, NULL);
  return text;
}

static void path_in_scratch(char* out, size_t size, const char* name) {
  snprintf(out, size, "%s/%s", scratch, name);
}

/* ---- Each failure class, from a fault of the simulated boards or a call */

static zm_status do_read(zm_bench* b) {
  zm_register_snapshot s;
  return zm_read_registers(b, 0, &s);
}
static zm_status do_measure_once(zm_bench* b) {
  zm_measurement m;
  return zm_measure_once(b, &m);
}
static zm_status do_supply(zm_bench* b) {
  return zm_set_supply(b, 1);
}
static zm_status do_read_only_write(zm_bench* b) {
  return zm_write_register(b, 1, 0x1234, NULL);
}
static zm_status do_bad_mnemonic(zm_bench* b) {
  zm_mnemonic_reply r[2];
  size_t n;
  return zm_send(b, "CMD ON\nNOT A COMMAND", r, 2, &n);
}
static zm_status do_missing_file(zm_bench* b) {
  uint16_t v[8];
  size_t n;
  char file[1024];
  path_in_scratch(file, sizeof file, "no-such-file.txt");
  return zm_load_registers(b, file, v, 8, &n);
}
static zm_status do_null_out(zm_bench* b) {
  return zm_read_config(b, NULL);
}
static zm_status do_dac_out_of_range(zm_bench* b) {
  double v;
  return zm_set_dac(b, ZM_DAC_A, 100.0, ZM_REFERENCE_FACTORY_5V, 0, &v);
}

struct status_case {
  const char* fault;
  double volts;
  const char* call_name;
  zm_status (*call)(zm_bench*);
  zm_status expected;
  const char* text; /* a part of the last error's text */
};

static const struct status_case status_cases[] = {
    {"reglink:no-board", 5, "read", do_read, ZM_ERR_NO_BOARD, "no register link board found"},
    {"reglink:no-permission", 5, "read", do_read, ZM_ERR_BOARD_NOT_OPENABLE, "cannot be opened"},
    {"reglink:no-reply", 5, "read", do_read, ZM_ERR_BOARD_SILENT, "did not answer"},
    {"reglink:non-zero-status", 5, "measure_once", do_measure_once, ZM_ERR_NOT_ACKNOWLEDGED,
     "did not acknowledge"},
    {"interface:no-board", 5, "set_supply", do_supply, ZM_ERR_NO_BOARD, "no interface board found"},
    {"interface:no-reply", 5, "set_supply", do_supply, ZM_ERR_BOARD_SILENT, "did not answer"},
    {"", 5, "write read-only", do_read_only_write, ZM_ERR_READ_BACK, "reads back"},
    {"", 5, "send", do_bad_mnemonic, ZM_ERR_PARSE, "NOT A COMMAND"},
    {"", 5, "load_registers", do_missing_file, ZM_ERR_FILE, "no-such-file.txt"},
    {"", 5, "read_config(NULL)", do_null_out, ZM_ERR_INVALID_ARGUMENT, "config is NULL"},
    {"", 5, "set_dac 100 V", do_dac_out_of_range, ZM_ERR_PARSE,
     "Vin > max input voltage or Vin< min input voltage (DAC A: 100 V"},
};

static void test_status_codes(void) {
  size_t i;
  for (i = 0; i < sizeof status_cases / sizeof status_cases[0]; ++i) {
    const struct status_case* c = &status_cases[i];
    zm_bench* b = open_bench(c->fault, 1, c->volts);
    zm_status got;
    char thread_text[2048];
    zm_error_info info;
    if (!b) continue;
    got = c->call(b);
    CHECK(got == c->expected, "%s with '%s': %s, not %s", c->call_name, c->fault,
          zm_status_name(got), zm_status_name(c->expected));
    CHECK(strstr(error_text(b), c->text) != NULL, "%s: text '%s'", c->call_name, error_text(b));
    zm_last_error(NULL, thread_text, sizeof thread_text, NULL);
    CHECK(strcmp(thread_text, error_text(b)) == 0, "the thread's text '%s'", thread_text);
    CHECK(zm_last_error_info(b, &info) == ZM_OK && info.status == c->expected, "info.status %d",
          (int)info.status);
    if (c->expected == ZM_ERR_READ_BACK) {
      CHECK(info.reg == 1 && info.wanted == 0x1234 && info.got != 0x1234, "read-back %d %d %d",
            (int)info.reg, (int)info.wanted, (int)info.got);
    }
    if (c->expected == ZM_ERR_FILE) {
      CHECK(strstr(info.path, "no-such-file.txt") && info.error_code != 0 &&
                info.error_code_kind != ZM_CODE_NONE,
            "file '%s' code %d kind %d", info.path, (int)info.error_code,
            (int)info.error_code_kind);
    }
    zm_close(b);
  }
}

/* Failures of calls that need no bench are the thread's. */
static void test_static_calls(void) {
  zm_options o;
  zm_bench* b = (zm_bench*)&o;
  uint8_t report[ZM_REPORT_SIZE];
  zm_calibration_request q;
  zm_calibration_result r;
  zm_error_info info;

  zm_options_init(&o);
  o.simulate = 1;
  strcpy(o.sim_fault, "reglink:bogus");
  CHECK(zm_open(&o, &b) == ZM_ERR_PARSE && b == NULL, "bogus fault");
  CHECK(strstr(error_text(NULL), "reglink:bogus") != NULL, "'%s'", error_text(NULL));
  o.struct_size = 8;
  CHECK(zm_open(&o, &b) == ZM_ERR_INVALID_ARGUMENT, "a struct from no header");
  /* The load is read from a struct that holds it, and refused when bad;
   * a struct of the first release ends before it and takes the default. */
  zm_options_init(&o);
  o.simulate = 1;
  strcpy(o.sim_load, "pulse:at=1,amps=2");
  CHECK(zm_open(&o, &b) == ZM_ERR_PARSE && b == NULL, "a pulse without width");
  CHECK(strstr(error_text(NULL), "pulse:at=1,amps=2") != NULL, "'%s'", error_text(NULL));
  o.struct_size = (uint32_t)offsetof(zm_options, sim_load);
  CHECK(zm_open(&o, &b) == ZM_OK && b != NULL, "a struct of the first release");
  zm_close(b);

  CHECK(zm_encode("CMD ON", report) == ZM_OK, "encode");
  CHECK(zm_encode("CMD NOTHING", report) == ZM_ERR_PARSE, "encode of nothing");
  CHECK(zm_last_error_info(NULL, &info) == ZM_OK && info.status == ZM_ERR_PARSE, "info");

  memset(&q, 0, sizeof q);
  q.rshunt_ohms = 0.01;
  q.max_expected_amps = 2;
  q.current_lsb_amps = 100e-6;
  CHECK(zm_calculate(&q, 0x399F, &r) == ZM_OK && r.refusal == ZM_REFUSAL_NONE &&
            r.calibration > 0 && r.row_count == 15 && strcmp(r.rows[0].key, "rshunt_ohms") == 0,
        "calculate: refusal %d calibration %d rows %d", (int)r.refusal, (int)r.calibration,
        (int)r.row_count);
  q.rshunt_ohms = 0;
  CHECK(zm_calculate(&q, 0x399F, &r) == ZM_OK && r.refusal == ZM_REFUSAL_RSHUNT &&
            r.refusal_message[0] != '\0',
        "refused calculate: %d", (int)r.refusal);

  CHECK(zm_check_version(ZM5520EVM_VERSION_MAJOR, ZM5520EVM_VERSION_MINOR) == 1, "version");
  CHECK(zm_check_version(ZM5520EVM_VERSION_MAJOR + 1, 0) == 0, "a later major");
  CHECK(zm_check_version(ZM5520EVM_VERSION_MAJOR, ZM5520EVM_VERSION_MINOR + 1) == 0, "minor");
  CHECK(strcmp(zm_version(), ZM5520EVM_VERSION_STRING) == 0, "'%s'", zm_version());
  CHECK(strcmp(zm_status_name(ZM_ERR_BUSY), "ZM_ERR_BUSY") == 0, "status name");
}

/* ---- Buffers too small: the size needed is told, nothing is done ------ */

static void test_small_buffers(void) {
  zm_bench* b = calibrated(1);
  char small[5];
  size_t needed = 0, count = 0;
  zm_measurement m[4];
  zm_device_info d;
  zm_mnemonic_reply replies[1];
  zm_run_summary summary;

  CHECK(zm_write_register(b, 1, 0x1234, NULL) == ZM_ERR_READ_BACK, "a failure to read");
  CHECK(zm_last_error(b, small, sizeof small, &needed) == ZM_ERR_BUFFER_TOO_SMALL &&
            needed == strlen(error_text(b)) + 1 && strlen(small) == 4,
        "needed %u for '%s'", (unsigned)needed, error_text(b));

  CHECK(zm_measure(b, 10, 0, m, 4, &count, &summary) == ZM_ERR_BUFFER_TOO_SMALL && count == 10 &&
            summary.passes == 0,
        "measure 10 into 4: count %u", (unsigned)count);
  CHECK(zm_devices(b, &d, 0, &count) == ZM_ERR_BUFFER_TOO_SMALL && count == 2, "devices %u",
        (unsigned)count);
  CHECK(
      zm_send(b, "CMD ON\nCMD OFF\n", replies, 1, &count) == ZM_ERR_BUFFER_TOO_SMALL && count == 2,
      "send 2 into 1: %u", (unsigned)count);
  zm_close(b);
}

/* ---- Measuring: into the caller's array and by polling ---------------- */

/* Counts what it is told and asks to stop at the count in *user (0: never). */
struct told {
  int count;
  int stop_at;
};
static int32_t count_pass(void* user, const zm_measurement* pass) {
  struct told* t = (struct told*)user;
  ++t->count;
  return pass->acknowledged && t->count == t->stop_at;
}
static int32_t count_row(void* user, const zm_script_row* row) {
  struct told* t = (struct told*)user;
  ++t->count;
  return row->row == t->count && t->count == t->stop_at;
}

static void test_measure_into_array(void) {
  zm_bench* b = calibrated(1);
  zm_measurement m[16];
  zm_run_summary s;
  size_t count = 0, i;
  char log[1024];
  zm_log_summary ls;
  uint16_t config;

  CHECK(zm_measure(b, 10, 0, m, 16, &count, &s) == ZM_OK && count == 10 && s.passes == 10 &&
            !s.stopped && !s.full,
        "10 passes: %u", (unsigned)count);
  for (i = 0; i < count; ++i) {
    CHECK(m[i].acknowledged && m[i].raw_count == 6 && fabs(m[i].amps - 1.0) < 0.1 &&
              m[i].current_lsb_amps > 0 && strlen(m[i].time) == 23,
          "pass %u: %g A, %d raw, '%s'", (unsigned)i, m[i].amps, (int)m[i].raw_count, m[i].time);
    if (i > 0)
      CHECK(m[i].time_epoch_s >= m[i - 1].time_epoch_s, "time goes back at %u", (unsigned)i);
  }
  /* No count: the run ends with the pass that fills the array. */
  CHECK(zm_measure(b, 0, 0, m, 7, &count, &s) == ZM_OK && count == 7 && s.passes == 7 && s.full,
        "until full: %u of %ld", (unsigned)count, (long)s.passes);

  path_in_scratch(log, sizeof log, "capi-log.csv");
  remove(log);
  CHECK(zm_log(b, log, 5, 0, &ls) == ZM_OK && ls.passes == 5 && ls.logged == 5, "log %ld",
        (long)ls.logged);
  {
    struct told t = {0, 3};
    CHECK(zm_log_each(b, log, 10, 0, count_pass, &t, &ls) == ZM_ERR_CANCELLED && t.count == 3 &&
              ls.passes == 3 && ls.logged == 3 && ls.stopped,
          "told %d, logged %ld", t.count, (long)ls.logged);
    CHECK(zm_read_config(b, &config) == ZM_OK, "the callback's stop is used up");
  }
  zm_close(b);
}

static void test_poll_run(void) {
  zm_bench* b = calibrated(1);
  zm_run* run = NULL;
  zm_measurement m;
  zm_run_summary s;
  uint16_t config;
  int got = 0, i;
  zm_status st;

  CHECK(zm_run_start(b, 20, 0, 0, &run) == ZM_OK, "start");
  while ((st = zm_run_next(run, &m, 2000)) == ZM_OK) {
    CHECK(m.acknowledged && fabs(m.amps - 1.0) < 0.1, "pass %d: %g A", got, m.amps);
    ++got;
  }
  CHECK(st == ZM_DONE && got == 20, "%s after %d", zm_status_name(st), got);
  CHECK(zm_run_summary_get(run, &s) == ZM_OK && s.finished && s.passes == 20 && s.lost == 0,
        "summary %ld lost %ld", (long)s.passes, (long)s.lost);
  CHECK(zm_run_next(run, &m, 0) == ZM_DONE, "done stays done");
  zm_run_free(run);

  /* Over but not yet freed, a run no longer holds the bench (what a full
   * queue loses is test_modes' part). */
  CHECK(zm_run_start(b, 50, 0, 2, &run) == ZM_OK, "start");
  for (i = 0; i < 5000 && zm_run_summary_get(run, &s) == ZM_OK && !s.finished; ++i) sleep_ms(1);
  CHECK(s.finished && zm_read_config(b, &config) == ZM_OK,
        "the bench is free when the run is over");
  zm_run_close(run);
  zm_run_close(run);
  zm_run_free(run);

  /* A run that fails says so after its passes, with the bench's text. */
  zm_close(b);
  b = open_bench("reglink:no-reply", 1, 5.0);
  CHECK(zm_run_start(b, 5, 0, 0, &run) == ZM_OK, "start");
  CHECK(zm_run_next(run, &m, 5000) == ZM_ERR_BOARD_SILENT, "silent run");
  CHECK(strstr(error_text(b), "did not answer") != NULL, "'%s'", error_text(b));
  zm_run_free(run);
  zm_close(b);
}

/* ---- Modes: what each reads, into an array and polled ------------------ */

struct mode_case {
  int32_t mode;
  int32_t raw_count;
  int32_t registers_read;
  int32_t may_read; /* registers the mode reads only where it needs them */
  int shunt_nan;
  size_t time_length; /* milliseconds, or microseconds in the fast modes */
  double min_rate;    /* per second of the fake clock */
};

static const struct mode_case mode_cases[] = {
    {ZM_MODE_PASSES, 6, 0x3F, 0, 0, 23, 1.0},
    {ZM_MODE_FAST, 5, 0x1F, 0, 0, 26, 100.0},
    {ZM_MODE_FAST_TWO, 5, 0x15, 0x08, 1, 26, 100.0},
};

static void test_modes(void) {
  zm_bench* b = calibrated(1);
  zm_measurement m[16];
  zm_run_summary s;
  zm_run_details d;
  zm_run* run = NULL;
  size_t count = 0, i, c;
  zm_status st;

  for (c = 0; c < sizeof mode_cases / sizeof mode_cases[0]; ++c) {
    const struct mode_case* k = &mode_cases[c];
    memset(&d, 0, sizeof d);
    d.struct_size = sizeof d;
    CHECK(zm_measure_mode(b, k->mode, 10, 0, m, 16, &count, &s, &d) == ZM_OK && count == 10,
          "mode %d: %s", (int)k->mode, error_text(b));
    CHECK(d.mode == k->mode && (d.registers_read & ~k->may_read) == k->registers_read &&
              d.rate >= k->min_rate && d.struct_size == sizeof d,
          "mode %d: details mode %d, registers %#x, %g/s", (int)k->mode, (int)d.mode,
          (unsigned)d.registers_read, d.rate);
    for (i = 0; i < count; ++i) {
      CHECK(m[i].acknowledged && m[i].raw_count == k->raw_count &&
                (isnan(m[i].shunt_volts) != 0) == k->shunt_nan && fabs(m[i].amps - 1.0) < 0.1 &&
                strlen(m[i].time) == k->time_length,
            "mode %d sample %u: %d raw, shunt %g, %g A, '%s'", (int)k->mode, (unsigned)i,
            (int)m[i].raw_count, m[i].shunt_volts, m[i].amps, m[i].time);
      if (i > 0)
        CHECK(m[i].time_epoch_s > m[i - 1].time_epoch_s, "mode %d: a time twice at %u",
              (int)k->mode, (unsigned)i);
    }

    /* Polled, by many at once; a queue of 4 that nobody empties keeps 4. */
    CHECK(zm_run_start_mode(b, k->mode, 30, 0, 4, &run) == ZM_OK, "start %d", (int)k->mode);
    for (i = 0; i < 5000 && zm_run_summary_get(run, &s) == ZM_OK && !s.finished; ++i) sleep_ms(1);
    CHECK(s.finished && s.passes == 30 && s.lost == 26, "mode %d: %ld read, %ld lost", (int)k->mode,
          (long)s.passes, (long)s.lost);
    CHECK(zm_run_details_get(run, &d) == ZM_OK && d.lost == 26 && d.mode == k->mode &&
              (d.registers_read & ~k->may_read) == k->registers_read && d.rate >= k->min_rate,
          "mode %d: run details %ld lost, registers %#x, %g/s", (int)k->mode, (long)d.lost,
          (unsigned)d.registers_read, d.rate);
    st = zm_run_take(run, m, 16, &count, 0);
    CHECK(st == ZM_OK && count == 4 && m[0].raw_count == k->raw_count, "take: %s, %u",
          zm_status_name(st), (unsigned)count);
    CHECK(zm_run_take(run, m, 16, &count, 0) == ZM_DONE && count == 0, "then done");
    zm_run_free(run);
  }

  /* Refused before anything is read. */
  CHECK(zm_measure_mode(b, 3, 1, 0, m, 16, &count, NULL, NULL) == ZM_ERR_INVALID_ARGUMENT,
        "mode 3");
  d.struct_size = 8;
  CHECK(
      zm_measure_mode(b, ZM_MODE_FAST, 1, 0, m, 16, &count, NULL, &d) == ZM_ERR_INVALID_ARGUMENT &&
          count == 0,
      "a details struct too small");
  zm_close(b);
}

/* ---- Stopping from another thread ------------------------------------- */

struct stopper {
  zm_bench* bench;
  zm_run* run;
  int delay_ms;
};

#ifdef _WIN32
static DWORD WINAPI stopper_main(LPVOID arg)
#else
static void* stopper_main(void* arg)
#endif
{
  struct stopper* s = (struct stopper*)arg;
  sleep_ms(s->delay_ms);
  if (s->run) {
    zm_run_close(s->run);
  } else {
    zm_stop(s->bench);
  }
  return 0;
}

static thread_t start_stopper(struct stopper* s) {
  thread_t t;
#ifdef _WIN32
  t = CreateThread(NULL, 0, stopper_main, s, 0, NULL);
#else
  pthread_create(&t, NULL, stopper_main, s);
#endif
  return t;
}

static void join(thread_t t) {
#ifdef _WIN32
  WaitForSingleObject(t, INFINITE);
  CloseHandle(t);
#else
  pthread_join(t, NULL);
#endif
}

static void test_stop(void) {
  /* On the fake clock a pass costs a few microseconds of real time: the stop
   * comes early, so the array is still far from full then even when the
   * stopping thread wakes late on a loaded machine. */
  zm_bench* b = calibrated(1);
  enum { room = 200000 };
  zm_measurement* m = (zm_measurement*)malloc(room * sizeof *m);
  struct stopper s = {NULL, NULL, 10};
  size_t count = 0;
  zm_run_summary summary;
  uint16_t config;
  zm_run* run = NULL;
  zm_measurement one;
  double t0;
  thread_t t;

  s.bench = b;
  t0 = now_s();
  t = start_stopper(&s);
  CHECK(zm_measure(b, 0, 0, m, room, &count, &summary) == ZM_ERR_CANCELLED, "stopped measure");
  join(t);
  CHECK(now_s() - t0 < 2.0, "the stop took %.2f s", now_s() - t0);
  CHECK(summary.stopped && count > 0 && summary.passes == (int64_t)count, "%u passes",
        (unsigned)count);
  /* The stop was used up: the next call runs. */
  CHECK(zm_read_config(b, &config) == ZM_OK, "after a stop");

  /* A stop with nothing to stop ends the next call at once, and only it. */
  CHECK(zm_stop(b) == ZM_OK, "stop");
  CHECK(zm_read_config(b, &config) == ZM_ERR_CANCELLED, "a kept stop");
  CHECK(zm_read_config(b, &config) == ZM_OK, "only the next call");
  zm_stop(b);
  zm_clear_stop(b);
  CHECK(zm_read_config(b, &config) == ZM_OK, "a cleared stop");

  /* A run holds the bench until it ends: a call meanwhile is refused, and
   * the refusal is the thread's, not the bench's. A stop ends the run, whose
   * next() tells it was cut short. */
  CHECK(zm_write_register(b, 1, 0x1234, NULL) == ZM_ERR_READ_BACK, "a failure to keep");
  CHECK(zm_run_start(b, 0, 0, 0, &run) == ZM_OK, "start");
  CHECK(zm_read_config(b, &config) == ZM_ERR_BUSY, "a call while the run holds the bench");
  CHECK(strstr(error_text(NULL), "busy") && strstr(error_text(b), "reads back"), "'%s' / '%s'",
        error_text(NULL), error_text(b));
  zm_stop(b);
  while (zm_run_next(run, &one, 2000) == ZM_OK) {
  }
  CHECK(zm_run_next(run, &one, 0) == ZM_ERR_CANCELLED, "a stopped run");
  zm_run_free(run);
  CHECK(zm_read_config(b, &config) == ZM_OK, "after a stopped run");
  zm_close(b);
  free(m);

  /* Closing a run from another thread while next() waits on a board that
   * never answers: the wait ends, and the time-out's wait is cut short. */
  b = open_bench("reglink:no-reply", 0, 5.0);
  CHECK(zm_run_start(b, 5, 0, 0, &run) == ZM_OK, "start");
  CHECK(zm_run_next(run, &one, 0) == ZM_TIMEOUT, "nothing yet");
  s.bench = b;
  s.run = run;
  s.delay_ms = 100;
  t0 = now_s();
  t = start_stopper(&s);
  CHECK(zm_run_next(run, &one, -1) == ZM_ERR_CANCELLED, "closed while waiting");
  join(t);
  CHECK(now_s() - t0 < 0.8, "the close took %.2f s", now_s() - t0);
  zm_run_close(run);
  zm_run_free(run);
  /* Closing the bench closes its open run. */
  CHECK(zm_run_start(b, 0, 0, 0, &run) == ZM_OK, "start");
  zm_close(b);
  CHECK(zm_run_next(run, &one, 1000) == ZM_ERR_CANCELLED, "the bench closed");
  zm_run_free(run);
}

/* ---- The interface board and files ------------------------------------ */

static void test_board_and_files(void) {
  zm_bench* b = calibrated(1);
  zm_mnemonic_reply r[3];
  zm_script_result sr;
  zm_script_row rows[64];
  size_t count = 0;
  uint16_t saved[8], loaded[ZM_REGISTER_FILE_VALUES];
  char file[1024], cell[64];

  CHECK(zm_send(b, "CMD OFF\r\nCMD ON", r, 2, &count) == ZM_OK && count == 2 && r[0].answered &&
            r[1].index == 1,
        "send: %u", (unsigned)count);
  path_in_scratch(file, sizeof file, "capi-registers.txt");
  CHECK(zm_save_registers(b, file, saved, 8, &count) == ZM_OK && count == 6, "save %u: %s",
        (unsigned)count, error_text(b));
  /* The file holds more than the registers; a short array takes what fits. */
  CHECK(zm_load_registers(b, file, NULL, 0, &count) == ZM_OK && count == ZM_REGISTER_FILE_VALUES,
        "load %u", (unsigned)count);
  CHECK(zm_load_registers(b, file, loaded, ZM_REGISTER_FILE_VALUES, &count) == ZM_OK &&
            memcmp(saved, loaded, 6 * sizeof saved[0]) == 0,
        "load %u", (unsigned)count);

  CHECK(zm_run_script(b, script, 0, &sr) == ZM_OK && sr.row_count > 0 && sr.board_answered,
        "script: %s", error_text(b));
  CHECK(zm_script_rows(b, rows, 64, &count) == ZM_OK && (int)count == sr.row_count &&
            rows[0].row == 1,
        "rows %u", (unsigned)count);
  {
    struct told all = {0, 0}, first = {0, 1};
    CHECK(zm_run_script_each(b, script, 0, count_row, &all, &sr) == ZM_OK &&
              all.count == sr.row_count,
          "told %d of %d rows", all.count, (int)sr.row_count);
    CHECK(zm_run_script_each(b, script, 0, count_row, &first, &sr) == ZM_ERR_CANCELLED &&
              sr.stopped && first.count == 1,
          "stopped after %d rows", first.count);
    CHECK(zm_run_script(b, script, 0, &sr) == ZM_OK, "the rows of a whole run again");
  }
  CHECK(zm_script_cell(b, 1, ZM_SCRIPT_STEP, cell, sizeof cell, NULL) == ZM_OK &&
            strcmp(cell, rows[0].step) == 0,
        "cell '%s'", cell);
  zm_close(b);

  b = open_bench("interface:no-reply@2", 1, 5.0);
  CHECK(zm_send(b, "CMD ON\nCMD OFF\nCMD ON", r, 3, &count) == ZM_ERR_BOARD_SILENT, "silent");
  CHECK(count >= 1 && !r[count - 1].answered, "the unanswered reply is the last of %u",
        (unsigned)count);
  zm_close(b);
}

int main(int argc, char** argv) {
  if (argc > 1) scratch = argv[1];
  if (argc > 2) script = argv[2];
  {
    static void (*const tests[])(void) = {
        test_static_calls, test_status_codes, test_small_buffers, test_measure_into_array,
        test_poll_run,     test_modes,        test_stop,          test_board_and_files};
    size_t i;
    for (i = 0; i < sizeof tests / sizeof tests[0]; ++i) {
      const double t0 = now_s();
      tests[i]();
      if (getenv("ZM_TEST_TIMES")) printf("test %u: %.3f s\n", (unsigned)i, now_s() - t0);
    }
  }
  if (failures) {
    printf("%d failed\n", failures);
    return 1;
  }
  printf("C interface: all passed\n");
  return 0;
}
