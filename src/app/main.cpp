#include "app/AppMain.h"

int main(int argc, char** argv) {
  return yelvane::RunYelvane(argc, argv);
}
