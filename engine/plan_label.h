// The test plan a test follows, as its summary and report name it: the
// plan's name, its source (the citation of the method it is written from)
// and the file it was read from.
#pragma once

#include <string>

struct PlanLabel {
  std::string name, source, file;
};
