// A library for the module tests: one export, and resources beside it.
extern "C" __attribute__((visibility("default"))) int zub_test_answer();

int zub_test_answer() { return 42; }
