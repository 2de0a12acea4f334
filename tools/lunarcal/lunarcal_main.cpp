#include <iostream>
#include <string>
#include <vector>

#include "tools/lunarcal/lunarcal.h"

int main(int argc, char** argv) {
  return tarnwick::RunLunarcal(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
