#include "app/Startup.h"

int main(int argc, char** argv) { return Startup::Main(argc, argv); }
