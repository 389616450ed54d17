#include "app/main_window.h"

int main(int argc, char** argv) {
  return qp::app::ProgramStart(argc, argv);
}
