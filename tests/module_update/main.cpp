#include "tests/module_http/test_server.h"

int main(int argc, char** argv) { return RunTestsWithServer(argc, argv); }
