// A module for the loader tests.
extern "C" int test_module_answer() { return 42; }
