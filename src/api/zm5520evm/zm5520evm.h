/* SPDX-License-Identifier: GPL-3.0-or-later */
/*
 * The C interface of the ZM5520/1 EVM library: one session with the EVM
 * (a zm_bench) and its operations, for C and for whatever can call a C
 * library: LabVIEW's Call Library Function node, MATLAB's loadlibrary,
 * Python's ctypes, .NET's P/Invoke.
 *
 * Conventions
 * - Every call returns a zm_status: ZM_OK (0) or a positive outcome
 *   (ZM_DONE, ZM_TIMEOUT) where documented, a negative ZM_ERR_* otherwise.
 *   After a failure, zm_last_error() gives its text and zm_last_error_info()
 *   its details; out-parameters then hold nothing worth reading unless the
 *   call says otherwise.
 * - Plain types only: fixed-size char arrays in structs (UTF-8, always
 *   NUL-terminated, truncated to fit: a struct's text field is for showing,
 *   and a call that gives a text exactly takes a buffer), caller-allocated
 *   buffers as (buffer, capacity, needed) and lists as (array, capacity,
 *   count). When a buffer is too small the call returns
 *   ZM_ERR_BUFFER_TOO_SMALL and puts the size it needs (in bytes, the NUL
 *   included, or in elements) in *needed or *count; a text buffer then holds
 *   as much of the text as fits.
 * - Flags are int32_t: 0 false, anything else true. Enumerations are int32_t.
 * - Paths are UTF-8, on Windows too.
 * - No call blocks on another: a handle is used by one thread at a time, and
 *   a call that comes while another call (or a run, see zm_run_start) holds
 *   the bench returns ZM_ERR_BUSY at once. zm_stop(), zm_last_error*() and
 *   zm_run_close() may come from any thread.
 *
 * Stopping
 *   zm_stop() ends the call in progress at its next pass, row or wait; that
 *   call returns ZM_ERR_CANCELLED when it was cut short (what it had done by
 *   then, such as the passes of zm_measure or the rows of zm_run_script, is
 *   given as well). A call that finished its work before the stop reached it
 *   returns its own outcome. Either way the stop is used up when that call
 *   returns: it never reaches a later call.
 *   A stop that comes while no call is in progress is kept, and the next call
 *   returns ZM_ERR_CANCELLED at once, touching nothing; so a stop that races
 *   a call's start is never lost. zm_clear_stop() drops a kept stop.
 *   A stop while a run is open (zm_run_start) ends the run, whose zm_run_next
 *   then returns ZM_ERR_CANCELLED after the passes already queued.
 */
#ifndef ZM5520EVM_ZM5520EVM_H
#define ZM5520EVM_ZM5520EVM_H

#include <stddef.h>
#include <stdint.h>

#include "zm5520evm/zm5520evm_version.h"

#if defined(_WIN32)
#if defined(ZM5520EVM_BUILDING_DLL)
#define ZM_API __declspec(dllexport)
#elif defined(ZM5520EVM_STATIC)
#define ZM_API
#else
#define ZM_API __declspec(dllimport)
#endif
#else
#define ZM_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Status ------------------------------------------------------------ */

typedef int32_t zm_status;

enum {
  ZM_OK = 0,
  ZM_DONE = 1,    /* zm_run_next: the run is over and every pass was given */
  ZM_TIMEOUT = 2, /* zm_run_next: no pass came within the time asked; zm_capture:
                     its time-out came before its count of captures */

  ZM_ERR_NO_BOARD = -1,           /* no board of the kind, or not the one named */
  ZM_ERR_BOARD_NOT_OPENABLE = -2, /* there, but no permission or in use */
  ZM_ERR_BOARD_SILENT = -3,       /* opened, but did not answer in time */
  ZM_ERR_NOT_ACKNOWLEDGED = -4,   /* the board answered, the device did not */
  ZM_ERR_READ_BACK = -5,          /* a register reads back another value */
  ZM_ERR_PARSE = -6,              /* input that cannot be used (position) */
  ZM_ERR_FILE = -7,               /* a file that could not be read or written */
  ZM_ERR_CANCELLED = -8,          /* ended by zm_stop() */
  ZM_ERR_BUSY = -9,               /* another call or a run holds the bench */
  ZM_ERR_INVALID_ARGUMENT = -10,  /* a NULL pointer, a value out of its range */
  ZM_ERR_BUFFER_TOO_SMALL = -11,  /* see *needed or *count */
  ZM_ERR_INTERNAL = -12,          /* out of memory, or a fault of the library */
  ZM_ERR_FAILED = -13             /* any other failure of an operation */
};

/* "ZM_OK", "ZM_ERR_BUSY", ...; "ZM_UNKNOWN" for a value that is none. */
ZM_API const char* zm_status_name(zm_status status);

/* ---- Version ----------------------------------------------------------- */

/* "1.0.0": the library's version, which may be newer than the header's. */
ZM_API const char* zm_version(void);
ZM_API void zm_version_numbers(int32_t* major, int32_t* minor, int32_t* patch);
/* 1 when this library serves a program built for major.minor (the same
 * major, a minor as new or newer), 0 otherwise. */
ZM_API int32_t zm_check_version(int32_t major, int32_t minor);
#define ZM5520EVM_CHECK_VERSION() zm_check_version(ZM5520EVM_VERSION_MAJOR, ZM5520EVM_VERSION_MINOR)

/* ---- Sizes ------------------------------------------------------------- */

#define ZM_NAME_SIZE 64
#define ZM_TEXT_SIZE 256
#define ZM_PATH_SIZE 1024
#define ZM_MAX_REGISTERS 8 /* 00h-07h */
#define ZM_RAW_REGISTERS 8 /* room in a measurement; 00h-05h are filled */
#define ZM_REPORT_SIZE 32  /* a command or answer report of the interface board */
#define ZM_CALIBRATION_ROWS 16
#define ZM_REGISTER_FILE_VALUES 23 /* the values of a register file */

/* ---- Opening ----------------------------------------------------------- */

typedef struct zm_bench zm_bench;
typedef struct zm_run zm_run;

/* Told what is worth knowing but fails nothing (an unreadable state file, a
 * stored board choice that is ignored, ...), on the thread of the call (a
 * run's own thread during a run). Must not call into the bench. */
typedef void (*zm_notice_fn)(void* user, const char* text);

typedef struct zm_options {
  uint32_t struct_size; /* sizeof(zm_options): set by zm_options_init */
  int32_t simulate;     /* the simulated EVM: both boards and the device, in the process */
  int32_t fake_clock;   /* simulated: waits pass at once on a clock of its own (default 1) */
  /* Simulated: one board misbehaves for the whole session, e.g.
   * "reglink:no-reply", "interface:garbage@3" (see `evmctl --help`); "" none. */
  char sim_fault[ZM_NAME_SIZE];
  int32_t sim_boards;     /* simulated: boards of each kind (default 1) */
  double reference_volts; /* simulated: the test board's reference jumper (5 or 3) */
  /* The board of each kind to take, by serial number or path; "" takes the
   * stored choice, else the first found. A board named must be there. */
  char reg_link[ZM_TEXT_SIZE];
  char interface_board[ZM_TEXT_SIZE];
  int32_t vendor_id; /* default 0x3A5F */
  /* Where earlier sessions' calibration, board choice and USB address are
   * kept; "" touches no state file at all. */
  char state_folder[ZM_PATH_SIZE];
  int32_t device_address; /* the ZM5520/1 on the I2C bus, default 0x40 */
  int32_t usb_address;    /* the interface board's USB address; -1 (default): the stored one */
  /* Where notices go; NULL (default) queues them for zm_next_notice(). */
  zm_notice_fn on_notice;
  void* notice_user;
  /* Appended after the first release: a struct_size that ends before them
   * takes their defaults. Simulated: a load that changes over time, as `evmctl --sim-load`
   * takes it ("step:at=2,amps=3;noise:amps=0.01"); "" a constant 1 A at 12 V. */
  char sim_load[ZM_PATH_SIZE];
  double sim_frame_ms; /* simulated: the USB frame, each way per report (default 1; 0 none) */
  /* A device loses register 05h with its power and then measures no current.
   * 1 (default): before the session's first measurement a device whose 05h
   * reads 0 gets the stored calibration (as zm_calibrate_if_blank), and a
   * notice says so; 0 leaves it as it is. */
  int32_t calibrate_if_blank;
} zm_options;

/* Fills *options with the defaults, struct_size included. */
ZM_API zm_status zm_options_init(zm_options* options);

/* The state folder the GUI and evmctl use (their --config-dir aside), for
 * zm_options.state_folder: the library's own folder in a build tree, else
 * the user's configuration folder (created). ZM_ERR_FILE when there is none. */
ZM_API zm_status zm_default_state_folder(char* folder, size_t capacity, size_t* needed);

/* Opens a session. Opening a real bench touches no board: the first call
 * that needs one finds it. A simulated device starts, as a real one does,
 * with 0 in register 05h; the first measurement gives it a calibration
 * (see calibrate_if_blank).
 * On failure *bench is NULL and zm_last_error(NULL, ...) tells why. */
ZM_API zm_status zm_open(const zm_options* options, zm_bench** bench);
/* Ends an open run (zm_run_close), asks a call in progress on another
 * thread to stop and waits for it to return, then releases the boards and
 * frees the handle. No call may start on the handle once this began. NULL
 * is fine. */
ZM_API void zm_close(zm_bench* bench);

/* The options the bench was opened with (struct_size set by the caller). */
ZM_API zm_status zm_get_options(zm_bench* bench, zm_options* options);

/* ---- Errors ------------------------------------------------------------ */

/* The text of the last failure, exactly as the library's C++ exception and
 * the program show it. With bench NULL: the calling thread's last failure
 * of any call (zm_open, zm_calculate, zm_encode, and calls that got
 * ZM_ERR_BUSY, which leave the bench's own record alone). "" when none. */
ZM_API zm_status zm_last_error(const zm_bench* bench, char* text, size_t capacity, size_t* needed);

/* How an error code is to be read (zm_error_info.error_code_kind). */
enum {
  ZM_CODE_NONE = 0,   /* the program's own reason; error_code 0 */
  ZM_CODE_ERRNO = 1,  /* a C errno value */
  ZM_CODE_SYSTEM = 2, /* the system's: errno on POSIX, GetLastError() on Windows */
  ZM_CODE_OTHER = 3   /* a library's own category */
};

typedef struct zm_error_info {
  zm_status status; /* of the last failure; ZM_OK when none */
  /* ZM_ERR_READ_BACK */
  int32_t reg;
  int32_t wanted;
  int32_t got;
  /* ZM_ERR_PARSE: the line of a file (1 for the first), or 0 where none */
  int64_t position;
  /* ZM_ERR_FILE */
  int32_t error_code;
  int32_t error_code_kind;
  char error_message[ZM_TEXT_SIZE]; /* the system's words for error_code */
  char path[ZM_PATH_SIZE];          /* exactly with zm_last_error_path() */
} zm_error_info;

ZM_API zm_status zm_last_error_info(const zm_bench* bench, zm_error_info* info);
/* The file of the last ZM_ERR_FILE; "" otherwise. */
ZM_API zm_status zm_last_error_path(const zm_bench* bench, char* path, size_t capacity,
                                    size_t* needed);

/* ---- Notices ----------------------------------------------------------- */

/* The oldest queued notice, removed from the queue: ZM_OK, or ZM_DONE when
 * there is none. At most 64 are kept; older ones are dropped and counted in
 * *dropped (NULL allowed), which this call then resets. Any thread. */
ZM_API zm_status zm_next_notice(zm_bench* bench, char* text, size_t capacity, size_t* needed,
                                int64_t* dropped);

/* ---- Stopping ---------------------------------------------------------- */

/* See "Stopping" above. Any thread. */
ZM_API zm_status zm_stop(zm_bench* bench);
ZM_API zm_status zm_clear_stop(zm_bench* bench);

/* ---- Devices ----------------------------------------------------------- */

enum { ZM_KIND_OTHER = 0, ZM_KIND_REG_LINK = 1, ZM_KIND_INTERFACE = 2 };

typedef struct zm_device_info {
  char path[ZM_PATH_SIZE];
  int32_t ids_known; /* vendor_id and product_id are the system's */
  int32_t vendor_id;
  int32_t product_id;
  int32_t kind;
  char serial[ZM_TEXT_SIZE];
  char product[ZM_TEXT_SIZE];
  char kind_name[ZM_NAME_SIZE]; /* "register link", "interface board" or "" */
  int32_t openable;
  int32_t selected;          /* the board a session takes by the stored or given choice */
  char reason[ZM_TEXT_SIZE]; /* why it cannot be opened */
} zm_device_info;

/* Every HID device present, the boards told apart. Opens nothing for good. */
ZM_API zm_status zm_devices(zm_bench* bench, zm_device_info* devices, size_t capacity,
                            size_t* count);

/* ---- Registers --------------------------------------------------------- */

typedef struct zm_register_value {
  int32_t reg;
  int32_t raw;
  int32_t has_scaled; /* registers 01h-04h carry a quantity in unit */
  int32_t reserved;
  double scaled;
  char name[ZM_NAME_SIZE]; /* "Config", "Shunt Voltage", ... */
  char hex[8];             /* "399F" */
  char binary[24];         /* "0011 1001 1001 1111" */
  char unit[8];            /* "V", "W", "A" or "" */
} zm_register_value;

typedef struct zm_register_snapshot {
  int32_t device_address;
  int32_t count;           /* registers 00h to count-1 */
  double current_lsb_amps; /* the scaling the values were scaled with; 0: none */
  double power_lsb_watts;
  zm_register_value registers[ZM_MAX_REGISTERS];
} zm_register_snapshot;

/* Registers 00h-05h (00h-07h with engineering), scaled by the stored
 * calibration or the one given to zm_use_scaling. */
ZM_API zm_status zm_read_registers(zm_bench* bench, int32_t engineering,
                                   zm_register_snapshot* snapshot);

typedef struct zm_write_result {
  int32_t reg;
  int32_t wrote;
  int32_t read;
} zm_write_result;

/* Writes and reads back; ZM_ERR_READ_BACK when it reads back otherwise.
 * result may be NULL. */
ZM_API zm_status zm_write_register(zm_bench* bench, int32_t reg, uint16_t value,
                                   zm_write_result* result);

/* Register 00h, which sets the ranges the calibration works on. */
ZM_API zm_status zm_read_config(zm_bench* bench, uint16_t* config);

/* Register files: one decimal value per line (ZM_REGISTER_FILE_VALUES of
 * them). The save or load is done whatever the room given: *count is the
 * number of values saved (the registers read) or loaded (the file's), and
 * values (NULL allowed) gets the first of them that fit. */
ZM_API zm_status zm_save_registers(zm_bench* bench, const char* file, uint16_t* values,
                                   size_t capacity, size_t* count);
/* Writes the registers the file changes; nothing when the file is not one. */
ZM_API zm_status zm_load_registers(zm_bench* bench, const char* file, uint16_t* values,
                                   size_t capacity, size_t* count);

/* ---- Calibration ------------------------------------------------------- */

typedef struct zm_calibration_request {
  double rshunt_ohms;
  double max_expected_amps;
  double current_lsb_amps;
  /* The inputs as typed, kept in the state folder for later sessions; ""
   * keeps the numbers. */
  char rshunt_text[ZM_NAME_SIZE];
  char max_expected_current_text[ZM_NAME_SIZE];
  char current_lsb_text[ZM_NAME_SIZE];
} zm_calibration_request;

/* Which input the calibration refused, in the order the tab checks them. */
enum {
  ZM_REFUSAL_NONE = 0,
  ZM_REFUSAL_RSHUNT = 1,
  ZM_REFUSAL_MAX_EXPECTED_CURRENT = 2,
  ZM_REFUSAL_CURRENT_LSB = 3,
  ZM_REFUSAL_TOO_LARGE = 4
};

typedef struct zm_calibration_row {
  char key[ZM_NAME_SIZE];     /* "max_shunt_volts", as the field of zm_calibration_result */
  char caption[ZM_NAME_SIZE]; /* "Max Shunt Voltage" */
  double value;
  char text[ZM_NAME_SIZE]; /* as the tab shows it */
  char unit[16];
} zm_calibration_row;

typedef struct zm_calibration_result {
  int32_t refusal; /* ZM_REFUSAL_* */
  int32_t config;  /* register 00h the ranges were taken from */
  char refusal_message[ZM_TEXT_SIZE];
  double max_shunt_volts;
  double max_bus_volts;
  double max_possible_amps;
  char max_possible_current_text[ZM_NAME_SIZE];
  double min_current_lsb_amps;
  double max_current_lsb_amps;
  double current_lsb_amps;
  int32_t calibration; /* register 05h */
  int32_t overflow_possible;
  double power_lsb_watts;
  double max_current_before_overflow_amps;
  int64_t max_current_before_overflow_code;
  double max_shunt_before_overflow_volts;
  double max_power_watts;
  char overflow_note[ZM_TEXT_SIZE];
  int32_t row_count;
  int32_t reserved;
  zm_calibration_row rows[ZM_CALIBRATION_ROWS]; /* the tab's rows in its order */
  zm_calibration_request request;               /* the texts filled in from the numbers */
} zm_calibration_result;

/* The initial calibration on the ranges config sets; no board, no file, no
 * handle. A refused input is in result->refusal, with ZM_OK. */
ZM_API zm_status zm_calculate(const zm_calibration_request* request, uint16_t config,
                              zm_calibration_result* result);
/* Writes register 05h (and 00h when the config differs), checks both and
 * keeps the inputs in the state folder. ZM_ERR_PARSE for a refused result. */
ZM_API zm_status zm_apply_calibration(zm_bench* bench, const zm_calibration_result* calibration);
/* Scale by these from now on instead of the stored calibration. */
ZM_API zm_status zm_use_scaling(zm_bench* bench, double current_lsb_amps, double power_lsb_watts);

typedef struct zm_calibration_restore {
  int32_t was_blank;          /* register 05h read 0 */
  int32_t wrote;              /* the calibration written; 0 when none was */
  int32_t from_stored_inputs; /* the last session's inputs, not the defaults */
  int32_t reserved;
  char message[ZM_TEXT_SIZE]; /* in words; "" when 05h was set */
} zm_calibration_restore;

/* Writes the calibration of the stored inputs (or the defaults) when
 * register 05h is 0, as the main window does when it opens. */
ZM_API zm_status zm_calibrate_if_blank(zm_bench* bench, zm_calibration_restore* restore);

/* ---- Measuring --------------------------------------------------------- */

typedef struct zm_measurement {
  double time_epoch_s;  /* the instant of time: seconds since 1970-01-01 00:00 UTC */
  char time[32];        /* "2026-01-15 09:00:00.000" (".000000" in the fast modes) */
  int32_t acknowledged; /* every register answered; the numbers are 0 otherwise */
  int32_t raw_count;    /* raw[0..raw_count-1] are registers 00h.. */
  double shunt_volts;
  double bus_volts;
  double amps;
  double watts;
  uint16_t raw[ZM_RAW_REGISTERS];
  double current_lsb_amps; /* the scaling, and so the resolution; 0: none */
  double power_lsb_watts;
} zm_measurement;

typedef struct zm_run_summary {
  int64_t passes;
  int64_t unacknowledged; /* passes not every register answered */
  int64_t lost;           /* read but never given: a queue had no room for them */
  int32_t stopped;        /* ended by zm_stop() or zm_run_close() */
  int32_t full;           /* zm_measure: ended because the array was full */
  int32_t finished;       /* zm_run: the run is over (the counts are final) */
  int32_t reserved;
} zm_run_summary;

/* One pass; ZM_ERR_NOT_ACKNOWLEDGED when the device gave no full pass. */
ZM_API zm_status zm_measure_once(zm_bench* bench, zm_measurement* measurement);

/* Passes into the caller's array until `passes` are read, `seconds` are
 * over, the array is full (when passes is 0) or zm_stop(); a pass the
 * device did not fully give is there with acknowledged 0. passes larger
 * than capacity is ZM_ERR_BUFFER_TOO_SMALL (*count = passes) before any
 * board is touched. Stopped: ZM_ERR_CANCELLED with *count and *summary
 * filled. summary may be NULL. */
ZM_API zm_status zm_measure(zm_bench* bench, int64_t passes, double seconds,
                            zm_measurement* measurements, size_t capacity, size_t* count,
                            zm_run_summary* summary);

typedef struct zm_log_summary {
  int64_t passes;
  int64_t logged; /* passes written to the file */
  int64_t unacknowledged;
  int64_t unanswered; /* of the unacknowledged, those the register link did not answer */
  int32_t stopped;
  int32_t reserved;
  char file[ZM_PATH_SIZE];
} zm_log_summary;

/* The main window's log file: only fully acknowledged passes are written.
 * passes and seconds both 0 log until zm_stop() (ZM_ERR_CANCELLED, with
 * *summary filled). summary may be NULL. */
ZM_API zm_status zm_log(zm_bench* bench, const char* file, int64_t passes, double seconds,
                        zm_log_summary* summary);

/* Told each pass of zm_log_each and each row of zm_run_script_each as it is
 * done, on the calling thread; a return other than 0 stops the call as
 * zm_stop() does (ZM_ERR_CANCELLED, the summary or the rows filled). Must
 * not call into the bench. */
typedef int32_t (*zm_pass_fn)(void* user, const zm_measurement* pass);

/* zm_log, telling each pass to on_pass (NULL: none). */
ZM_API zm_status zm_log_each(zm_bench* bench, const char* file, int64_t passes, double seconds,
                             zm_pass_fn on_pass, void* user, zm_log_summary* summary);

/* ---- Measurement runs polled by the caller ----------------------------- */

/* Starts `passes` passes (or `seconds`; both 0: until closed or stopped) on
 * a thread of the library's own. The run holds the bench: other calls get
 * ZM_ERR_BUSY until it is closed. Passes wait in a queue of
 * queue_capacity (0: 1024); a pass that finds it full is counted as lost.
 * *run must be freed with zm_run_free(). */
ZM_API zm_status zm_run_start(zm_bench* bench, int64_t passes, double seconds,
                              size_t queue_capacity, zm_run** run);
/* The next pass, waiting up to timeout_ms (negative: until a pass or the
 * end): ZM_OK with *measurement; ZM_TIMEOUT; ZM_DONE when the run is over
 * and every queued pass was given; ZM_ERR_CANCELLED likewise for a run that
 * was stopped or closed; the run's failure (ZM_ERR_BOARD_SILENT, ...) after
 * the passes before it, its text in zm_last_error(bench) and
 * zm_run_last_error(). One thread at a time calls this. */
ZM_API zm_status zm_run_next(zm_run* run, zm_measurement* measurement, int32_t timeout_ms);
/* The counts so far (finished 0) or final (finished 1). */
ZM_API zm_status zm_run_summary_get(zm_run* run, zm_run_summary* summary);
/* The failure that ended the run; "" when none. */
ZM_API zm_status zm_run_last_error(zm_run* run, char* text, size_t capacity, size_t* needed);
/* Ends the run at the pass in progress, wakes a zm_run_next that waits, and
 * waits for the run's thread; the bench is free again. Any thread, any
 * number of times. */
ZM_API zm_status zm_run_close(zm_run* run);
/* Closes the run and frees it; once, when no other thread uses it. NULL is
 * fine. Also after its bench was closed. */
ZM_API void zm_run_free(zm_run* run);

/* ---- Interface board: mnemonics and scripts ---------------------------- */

typedef struct zm_mnemonic_reply {
  int32_t index;        /* which command of the texts */
  int32_t answered;     /* the board answered at all */
  int32_t acknowledged; /* every acknowledge bit is 00 */
  int32_t read_count;
  int32_t ack_count;
  uint8_t command[ZM_REPORT_SIZE];
  uint8_t answer[ZM_REPORT_SIZE];
  uint8_t reads[ZM_REPORT_SIZE];
  uint8_t acks[ZM_REPORT_SIZE];
} zm_mnemonic_reply;

/* Sends each command of `texts` (one per line; a last newline adds none)
 * to the interface board. ZM_ERR_PARSE before anything is sent when one
 * does not parse; capacity below the number of commands is
 * ZM_ERR_BUFFER_TOO_SMALL (*count = that number), also before anything is
 * sent; ZM_ERR_BOARD_SILENT at the first unanswered one, which is the last
 * of the *count replies given. */
ZM_API zm_status zm_send(zm_bench* bench, const char* texts, zm_mnemonic_reply* replies,
                         size_t capacity, size_t* count);
/* The command report the text makes as a session's first command; no board,
 * no handle. */
ZM_API zm_status zm_encode(const char* text, uint8_t report[ZM_REPORT_SIZE]);

typedef struct zm_script_result {
  int32_t pass;
  int32_t fail;
  int32_t stopped;
  int32_t timed_out;
  int32_t board_answered; /* 0: the interface board stopped answering */
  int32_t passed;         /* no fail, the board answered, not stopped nor timed out */
  int32_t row_count;
  int32_t reserved;
} zm_script_result;

/* Columns of zm_script_cell. */
enum {
  ZM_SCRIPT_DESCRIPTION = 0,
  ZM_SCRIPT_STEP = 1,
  ZM_SCRIPT_LOW = 2,
  ZM_SCRIPT_HIGH = 3,
  ZM_SCRIPT_RESULT = 4,
  ZM_SCRIPT_VERDICT = 5
};

typedef struct zm_script_row {
  int32_t row;       /* 1 for the first */
  int32_t skipped;   /* a break step, which needs a person */
  int32_t truncated; /* a text below did not fit: zm_script_cell has it whole */
  int32_t reserved;
  char description[ZM_TEXT_SIZE];
  char step[ZM_TEXT_SIZE];
  char low[ZM_NAME_SIZE];
  char high[ZM_NAME_SIZE];
  char result[ZM_TEXT_SIZE];
  char verdict[8]; /* "PASS", "FAIL" or "" */
} zm_script_row;

/* Runs a script file of four quoted fields per line; max_seconds (0: none)
 * ends it with the step in progress. The rows are kept for zm_script_rows
 * and zm_script_cell (also when stopped: ZM_ERR_CANCELLED). result may be
 * NULL. */
ZM_API zm_status zm_run_script(zm_bench* bench, const char* file, double max_seconds,
                               zm_script_result* result);
/* zm_run_script, telling each row to on_row (NULL: none) after it ran
 * (see zm_pass_fn). */
typedef int32_t (*zm_row_fn)(void* user, const zm_script_row* row);
ZM_API zm_status zm_run_script_each(zm_bench* bench, const char* file, double max_seconds,
                                    zm_row_fn on_row, void* user, zm_script_result* result);
/* The rows of the last zm_run_script. */
ZM_API zm_status zm_script_rows(zm_bench* bench, zm_script_row* rows, size_t capacity,
                                size_t* count);
/* One cell of a row of the last zm_run_script (row 1 for the first). */
ZM_API zm_status zm_script_cell(zm_bench* bench, int32_t row, int32_t column, char* text,
                                size_t capacity, size_t* needed);
/* Writes the rows of the last zm_run_script as a results file. */
ZM_API zm_status zm_save_script_results(zm_bench* bench, const char* file);
/* The record of the last zm_run_script, also of one that failed or was
 * stopped: a JSON document (its layout is in the README) for the DUT,
 * station and operator ids given (NULL or "": none). *needed (NULL
 * allowed) is its size with the closing NUL. */
ZM_API zm_status zm_script_record(zm_bench* bench, const char* dut_id, const char* station_id,
                                  const char* operator_name, char* json, size_t capacity,
                                  size_t* needed);
/* Writes that record as JSON to json_file and as JUnit XML to junit_file,
 * each whole or not at all; NULL writes not that one. */
ZM_API zm_status zm_save_script_record(zm_bench* bench, const char* dut_id, const char* station_id,
                                       const char* operator_name, const char* json_file,
                                       const char* junit_file);

/* ---- Test board -------------------------------------------------------- */

/* How converters are read and the DAC set (the numbers of the settings file). */
enum {
  ZM_REFERENCE_NONE = 0,
  ZM_REFERENCE_FACTORY_5V = 1,
  ZM_REFERENCE_FACTORY_3V = 2,
  ZM_REFERENCE_USER = 3,
  ZM_REFERENCE_DIGITAL_CODES = 4
};
enum { ZM_CNV1 = 0, ZM_CNV2 = 1 };
enum { ZM_MUX_UNCHANGED = 0, ZM_MUX_OPEN = 1, ZM_MUX_GND = 2, ZM_MUX_DAC = 3 };
enum { ZM_DAC_A = 0, ZM_DAC_B = 1, ZM_DAC_C = 2, ZM_DAC_D = 3 };

/* Volts, or the signed code with ZM_REFERENCE_DIGITAL_CODES. */
ZM_API zm_status zm_read_converter(zm_bench* bench, int32_t converter, int32_t reference,
                                   double* value);
/* The 4-20 mA loop in amperes; on the 5 V reference only. */
ZM_API zm_status zm_read_loop_current(zm_bench* bench, double* amps);
ZM_API zm_status zm_set_mux(zm_bench* bench, int32_t converter, int32_t plus, int32_t minus);
/* With auto_cal the output is read back and corrected; *value (NULL
 * allowed) is the value read back then, the setting otherwise. */
ZM_API zm_status zm_set_dac(zm_bench* bench, int32_t channel, double volts, int32_t reference,
                            int32_t auto_cal, double* value);
/* The device's supply (Vdut). */
ZM_API zm_status zm_set_supply(zm_bench* bench, int32_t on);

/* ---- Fast acquisition -------------------------------------------------- */

/* What a run reads for each measurement. */
enum {
  /* The main window's continuous read: registers 00h-05h, each after a
   * settle time of 100 ms; about 1.6 measurements a second. The default of
   * zm_measure and zm_run_start. */
  ZM_MODE_PASSES = 0,
  /* Shunt, bus, power and current of each conversion the device completes,
   * with no settle time, no conversion twice; raw holds 00h-04h (00h as the
   * run started) and time has microseconds. */
  ZM_MODE_FAST = 1,
  /* Current and bus voltage only, power computed from them: twice the rate
   * where the link sets it. shunt_volts is NaN and raw[1], raw[3] are 0. */
  ZM_MODE_FAST_TWO = 2
};

/* What a run gave beyond its zm_run_summary. */
typedef struct zm_run_details {
  uint32_t struct_size; /* sizeof(zm_run_details): set by the caller */
  int32_t mode;         /* ZM_MODE_* the run read in */
  /* Bit n: register n was read for an acknowledged measurement: 0x3F in
   * passes, 0x1F fast, 0x15 fast with two, which reads power as well
   * (0x1D) where the device converts faster than two register reads, as
   * reading it clears the conversion-ready bit (watts are then the
   * device's). 0 before the first acknowledged measurement. */
  int32_t registers_read;
  int32_t reserved;
  /* Read but never given: a queue between the reading and the caller (the
   * library's own, or the run's) had no room. As zm_run_summary.lost. */
  int64_t lost;
  /* Measurements per second between the first and the last; 0 with fewer than two. */
  double rate;
} zm_run_details;

/* zm_measure in `mode` (ZM_MODE_*); details (NULL allowed) tells the rate,
 * the registers read and what was lost. */
ZM_API zm_status zm_measure_mode(zm_bench* bench, int32_t mode, int64_t passes, double seconds,
                                 zm_measurement* measurements, size_t capacity, size_t* count,
                                 zm_run_summary* summary, zm_run_details* details);
/* zm_run_start in `mode` (ZM_MODE_*). */
ZM_API zm_status zm_run_start_mode(zm_bench* bench, int32_t mode, int64_t passes, double seconds,
                                   size_t queue_capacity, zm_run** run);
/* zm_run_next for many at once: waits up to timeout_ms (negative: until a
 * measurement or the end) for the first, then gives as many of the queued
 * ones as fit in the array (*count of them), with ZM_OK. The other outcomes
 * are zm_run_next's, with *count 0. */
ZM_API zm_status zm_run_take(zm_run* run, zm_measurement* measurements, size_t capacity,
                             size_t* count, int32_t timeout_ms);
/* The details of the run so far (or final, see zm_run_summary.finished). */
ZM_API zm_status zm_run_details_get(zm_run* run, zm_run_details* details);

/* ---- Statistics and summary logs -------------------------------------- */

/* Figures of one quantity; samples 0 when it was not read (the rest 0). */
typedef struct zm_quantity_statistics {
  int64_t samples;
  double min;
  double mean; /* of the values, each sample weighing the same */
  double max;
  double std; /* population standard deviation (divided by samples) */
  double peak_to_peak;
} zm_quantity_statistics;

/* The statistics of the acknowledged measurements of a run. Charge and
 * energy integrate current and power with each sample holding its value
 * until the next one's time; seconds runs from the first sample to the
 * last. Measurements not acknowledged, and those lost on the way, are in
 * lost and in no other figure. */
typedef struct zm_statistics {
  uint32_t struct_size; /* sizeof(zm_statistics): set by the caller */
  int32_t reserved;
  int64_t samples;
  int64_t lost;
  double seconds;
  double first_time_epoch_s; /* zm_last_statistics: as zm_measurement.time_epoch_s;
                              zm_statistics_of: the caller's first time */
  zm_quantity_statistics bus_volts;
  zm_quantity_statistics shunt_volts;
  zm_quantity_statistics amps;
  zm_quantity_statistics watts;
  double charge_amp_seconds;
  double charge_mah;
  double energy_joules;
  double energy_wh;
} zm_statistics;

/* The statistics of the last measuring call or run of the bench (zm_measure*,
 * zm_log*, zm_run_*), also of one that was stopped or failed part way: all
 * 0 before the first. A run still open is refused with ZM_ERR_BUSY. */
ZM_API zm_status zm_last_statistics(zm_bench* bench, zm_statistics* stats);

/* The same figures of measurements held by the caller as columns that step
 * by `stride` bytes (an array of structs, or columns of doubles with stride
 * sizeof(double)): times in seconds that do not decrease, the quantities
 * (NaN or a NULL column: not read), and `acknowledged` (one byte each, 0:
 * lost; NULL: all acknowledged). No bench needed. */
ZM_API zm_status zm_statistics_of(const double* time_seconds, const double* bus_volts,
                                  const double* shunt_volts, const double* amps,
                                  const double* watts, const uint8_t* acknowledged, size_t stride,
                                  size_t count, zm_statistics* stats);

/* zm_log_each in `mode` (ZM_MODE_*); with summary_seconds above 0 the file
 * holds one row per interval of that many seconds (min, mean and max of each
 * quantity, the interval's charge and energy, its samples and those lost; the
 * layout is in the README) instead of one per measurement. */
ZM_API zm_status zm_log_mode_each(zm_bench* bench, const char* file, int32_t mode, int64_t passes,
                                  double seconds, double summary_seconds, zm_pass_fn on_pass,
                                  void* user, zm_log_summary* summary);
/* ---- Triggered capture ------------------------------------------------- */

/* What zm_capture watches for and keeps. */
typedef struct zm_capture_request {
  uint32_t struct_size; /* sizeof(zm_capture_request): set by the caller */
  int32_t mode;         /* ZM_MODE_FAST or ZM_MODE_FAST_TWO */
  /* "amps>0.5" (rising past 0.5 A), "bus_volts<11" (falling below 11 V),
   * "watts~2" (either crossing); shunt_volts too (not with two registers). */
  const char* trigger;
  double pre_seconds;     /* kept before the trigger, 0 to 3600 */
  double post_seconds;    /* taken after it, 0 to 3600 */
  int64_t count;          /* captures to take; 0: re-armed until stopped */
  double timeout_seconds; /* 0: none */
  const char* folder;     /* each capture saved there as a file; NULL or "": none */
} zm_capture_request;

typedef struct zm_capture_info {
  int64_t number;              /* 1 for the first */
  int64_t samples;             /* measurements handed with it */
  int64_t trigger_index;       /* the trigger's measurement among them */
  double trigger_time_epoch_s; /* as zm_measurement.time_epoch_s */
  char trigger_time[32];       /* "2026-01-15 09:00:00.123456" */
  int32_t truncated;           /* ended at 1,048,576 samples, before its post-trigger time */
  int32_t reserved;
  char file[ZM_PATH_SIZE]; /* "" when not saved */
} zm_capture_info;

typedef struct zm_capture_summary {
  int64_t captures;
  int64_t samples; /* read while watching */
  int64_t unacknowledged;
  int64_t lost;
  int32_t stopped;   /* ended by zm_stop() or the callback */
  int32_t timed_out; /* the time-out came before `count` captures */
  int32_t cut;       /* the run ended within the last capture's post-trigger
                        time: it was told truncated, and is counted */
  int32_t reserved;
  double rate; /* samples a second */
} zm_capture_summary;

/* Told each capture as it completes (and was saved), on the calling
 * thread: `samples` holds info->samples measurements, valid during the
 * call only. A return other than 0 ends the run as zm_stop() does. Must
 * not call into the bench. */
typedef int32_t (*zm_capture_fn)(void* user, const zm_capture_info* info,
                                 const zm_measurement* samples);

/* Fast samples watched for the trigger; the pre-trigger time is kept in a
 * bounded ring and the trigger armed once it is filled, and again after
 * each capture. ZM_OK once `count` captures are taken (or, with a count
 * of 0, at the time-out); ZM_TIMEOUT when the time-out came first;
 * ZM_ERR_CANCELLED when stopped; ZM_ERR_PARSE for a trigger text or times
 * it refuses, before any board is touched. *summary (NULL allowed) is
 * filled in each case. */
ZM_API zm_status zm_capture(zm_bench* bench, const zm_capture_request* request,
                            zm_capture_fn on_capture, void* user, zm_capture_summary* summary);

#ifdef __cplusplus
}
#endif

#endif /* ZM5520EVM_ZM5520EVM_H */
