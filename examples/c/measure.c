/* SPDX-License-Identifier: GPL-3.0-or-later */
/* A C program on the library: calibrate the simulated EVM (any argument:
 * the real boards), then measure ten passes into an array of its own.
 *   Linux:   cc -std=c99 measure.c $(pkg-config --cflags --libs zm5520evm)
 *   Windows: gcc -std=c99 measure.c -Iinclude -L. -lzm5520evm
 *            (zm5520evm.dll beside the program) */
#include <stdio.h>

#include <zm5520evm/zm5520evm.h>

static int failed(zm_bench* bench, zm_status status) {
  char text[1024];
  zm_last_error(bench, text, sizeof text, NULL);
  fprintf(stderr, "%s: %s\n", zm_status_name(status), text);
  return 1;
}

int main(int argc, char** argv) {
  zm_options options;
  zm_bench* bench = NULL;
  zm_calibration_request request = {0.01, 2.0, 100e-6, "", "", ""};
  zm_calibration_result calibration;
  zm_measurement passes[10];
  size_t count = 0, i;
  uint16_t config;
  zm_status s;

  (void)argv;
  if (!ZM5520EVM_CHECK_VERSION()) {
    fprintf(stderr, "library %s is older than this program\n", zm_version());
    return 1;
  }
  zm_options_init(&options);
  options.simulate = argc < 2;
  if ((s = zm_open(&options, &bench)) != ZM_OK) return failed(NULL, s);

  if ((s = zm_read_config(bench, &config)) != ZM_OK ||
      (s = zm_calculate(&request, config, &calibration)) != ZM_OK ||
      (s = zm_apply_calibration(bench, &calibration)) != ZM_OK ||
      (s = zm_measure(bench, 10, 0, passes, 10, &count, NULL)) != ZM_OK) {
    const int code = failed(bench, s);
    zm_close(bench);
    return code;
  }
  printf("calibration register %d\n", (int)calibration.calibration);
  for (i = 0; i < count; ++i) {
    printf("%s  %.6f A  %.6f W\n", passes[i].time, passes[i].amps, passes[i].watts);
  }
  zm_close(bench);
  return 0;
}
