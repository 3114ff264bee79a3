/* SPDX-License-Identifier: GPL-3.0-or-later */
/*
 * The layout of every struct of zm5520evm.h as this C compiler makes it, for
 * the Python package's ctypes declarations to be held against
 * (tests/python/test_layout.py): one line per struct, "name size", and one
 * per field, "name.field offset size".
 */
#include <stddef.h>
#include <stdio.h>

#include "zm5520evm/zm5520evm.h"

#define STRUCT(type) printf("%s %zu\n", #type, sizeof(type))
#define FIELD(type, field) \
  printf("%s.%s %zu %zu\n", #type, #field, offsetof(type, field), sizeof(((type*)0)->field))

int main(void) {
  STRUCT(zm_options);
  FIELD(zm_options, struct_size);
  FIELD(zm_options, simulate);
  FIELD(zm_options, fake_clock);
  FIELD(zm_options, sim_fault);
  FIELD(zm_options, sim_boards);
  FIELD(zm_options, reference_volts);
  FIELD(zm_options, reg_link);
  FIELD(zm_options, interface_board);
  FIELD(zm_options, vendor_id);
  FIELD(zm_options, state_folder);
  FIELD(zm_options, device_address);
  FIELD(zm_options, usb_address);
  FIELD(zm_options, on_notice);
  FIELD(zm_options, notice_user);
  FIELD(zm_options, sim_load);
  FIELD(zm_options, sim_frame_ms);
  FIELD(zm_options, calibrate_if_blank);
  STRUCT(zm_error_info);
  FIELD(zm_error_info, status);
  FIELD(zm_error_info, reg);
  FIELD(zm_error_info, wanted);
  FIELD(zm_error_info, got);
  FIELD(zm_error_info, position);
  FIELD(zm_error_info, error_code);
  FIELD(zm_error_info, error_code_kind);
  FIELD(zm_error_info, error_message);
  FIELD(zm_error_info, path);
  STRUCT(zm_device_info);
  FIELD(zm_device_info, path);
  FIELD(zm_device_info, ids_known);
  FIELD(zm_device_info, vendor_id);
  FIELD(zm_device_info, product_id);
  FIELD(zm_device_info, kind);
  FIELD(zm_device_info, serial);
  FIELD(zm_device_info, product);
  FIELD(zm_device_info, kind_name);
  FIELD(zm_device_info, openable);
  FIELD(zm_device_info, selected);
  FIELD(zm_device_info, reason);
  STRUCT(zm_register_value);
  FIELD(zm_register_value, reg);
  FIELD(zm_register_value, raw);
  FIELD(zm_register_value, has_scaled);
  FIELD(zm_register_value, reserved);
  FIELD(zm_register_value, scaled);
  FIELD(zm_register_value, name);
  FIELD(zm_register_value, hex);
  FIELD(zm_register_value, binary);
  FIELD(zm_register_value, unit);
  STRUCT(zm_register_snapshot);
  FIELD(zm_register_snapshot, device_address);
  FIELD(zm_register_snapshot, count);
  FIELD(zm_register_snapshot, current_lsb_amps);
  FIELD(zm_register_snapshot, power_lsb_watts);
  FIELD(zm_register_snapshot, registers);
  STRUCT(zm_write_result);
  FIELD(zm_write_result, reg);
  FIELD(zm_write_result, wrote);
  FIELD(zm_write_result, read);
  STRUCT(zm_calibration_request);
  FIELD(zm_calibration_request, rshunt_ohms);
  FIELD(zm_calibration_request, max_expected_amps);
  FIELD(zm_calibration_request, current_lsb_amps);
  FIELD(zm_calibration_request, rshunt_text);
  FIELD(zm_calibration_request, max_expected_current_text);
  FIELD(zm_calibration_request, current_lsb_text);
  STRUCT(zm_calibration_row);
  FIELD(zm_calibration_row, key);
  FIELD(zm_calibration_row, caption);
  FIELD(zm_calibration_row, value);
  FIELD(zm_calibration_row, text);
  FIELD(zm_calibration_row, unit);
  STRUCT(zm_calibration_result);
  FIELD(zm_calibration_result, refusal);
  FIELD(zm_calibration_result, config);
  FIELD(zm_calibration_result, refusal_message);
  FIELD(zm_calibration_result, max_shunt_volts);
  FIELD(zm_calibration_result, max_bus_volts);
  FIELD(zm_calibration_result, max_possible_amps);
  FIELD(zm_calibration_result, max_possible_current_text);
  FIELD(zm_calibration_result, min_current_lsb_amps);
  FIELD(zm_calibration_result, max_current_lsb_amps);
  FIELD(zm_calibration_result, current_lsb_amps);
  FIELD(zm_calibration_result, calibration);
  FIELD(zm_calibration_result, overflow_possible);
  FIELD(zm_calibration_result, power_lsb_watts);
  FIELD(zm_calibration_result, max_current_before_overflow_amps);
  FIELD(zm_calibration_result, max_current_before_overflow_code);
  FIELD(zm_calibration_result, max_shunt_before_overflow_volts);
  FIELD(zm_calibration_result, max_power_watts);
  FIELD(zm_calibration_result, overflow_note);
  FIELD(zm_calibration_result, row_count);
  FIELD(zm_calibration_result, reserved);
  FIELD(zm_calibration_result, rows);
  FIELD(zm_calibration_result, request);
  STRUCT(zm_calibration_restore);
  FIELD(zm_calibration_restore, was_blank);
  FIELD(zm_calibration_restore, wrote);
  FIELD(zm_calibration_restore, from_stored_inputs);
  FIELD(zm_calibration_restore, reserved);
  FIELD(zm_calibration_restore, message);
  STRUCT(zm_measurement);
  FIELD(zm_measurement, time_epoch_s);
  FIELD(zm_measurement, time);
  FIELD(zm_measurement, acknowledged);
  FIELD(zm_measurement, raw_count);
  FIELD(zm_measurement, shunt_volts);
  FIELD(zm_measurement, bus_volts);
  FIELD(zm_measurement, amps);
  FIELD(zm_measurement, watts);
  FIELD(zm_measurement, raw);
  FIELD(zm_measurement, current_lsb_amps);
  FIELD(zm_measurement, power_lsb_watts);
  STRUCT(zm_run_summary);
  FIELD(zm_run_summary, passes);
  FIELD(zm_run_summary, unacknowledged);
  FIELD(zm_run_summary, lost);
  FIELD(zm_run_summary, stopped);
  FIELD(zm_run_summary, full);
  FIELD(zm_run_summary, finished);
  FIELD(zm_run_summary, reserved);
  STRUCT(zm_log_summary);
  FIELD(zm_log_summary, passes);
  FIELD(zm_log_summary, logged);
  FIELD(zm_log_summary, unacknowledged);
  FIELD(zm_log_summary, unanswered);
  FIELD(zm_log_summary, stopped);
  FIELD(zm_log_summary, reserved);
  FIELD(zm_log_summary, file);
  STRUCT(zm_mnemonic_reply);
  FIELD(zm_mnemonic_reply, index);
  FIELD(zm_mnemonic_reply, answered);
  FIELD(zm_mnemonic_reply, acknowledged);
  FIELD(zm_mnemonic_reply, read_count);
  FIELD(zm_mnemonic_reply, ack_count);
  FIELD(zm_mnemonic_reply, command);
  FIELD(zm_mnemonic_reply, answer);
  FIELD(zm_mnemonic_reply, reads);
  FIELD(zm_mnemonic_reply, acks);
  STRUCT(zm_script_result);
  FIELD(zm_script_result, pass);
  FIELD(zm_script_result, fail);
  FIELD(zm_script_result, stopped);
  FIELD(zm_script_result, timed_out);
  FIELD(zm_script_result, board_answered);
  FIELD(zm_script_result, passed);
  FIELD(zm_script_result, row_count);
  FIELD(zm_script_result, reserved);
  STRUCT(zm_script_row);
  FIELD(zm_script_row, row);
  FIELD(zm_script_row, skipped);
  FIELD(zm_script_row, truncated);
  FIELD(zm_script_row, reserved);
  FIELD(zm_script_row, description);
  FIELD(zm_script_row, step);
  FIELD(zm_script_row, low);
  FIELD(zm_script_row, high);
  FIELD(zm_script_row, result);
  FIELD(zm_script_row, verdict);
  STRUCT(zm_run_details);
  FIELD(zm_run_details, struct_size);
  FIELD(zm_run_details, mode);
  FIELD(zm_run_details, registers_read);
  FIELD(zm_run_details, reserved);
  FIELD(zm_run_details, lost);
  FIELD(zm_run_details, rate);
  return 0;
}
