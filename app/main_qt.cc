#include "app/program.h"

int main() { return quoril::start_program(); }
