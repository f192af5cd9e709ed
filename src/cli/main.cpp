#include "cli/Cli.h"

int main(int argc, char** argv) {
  return yelvane::RunCli(argc, argv);
}
