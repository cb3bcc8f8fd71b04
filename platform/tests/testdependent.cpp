// A library without resources of its own that depends on one with them.
extern "C" int zub_test_answer();
extern "C" __attribute__((visibility("default"))) int zub_test_twice();

int zub_test_twice() { return 2 * zub_test_answer(); }
