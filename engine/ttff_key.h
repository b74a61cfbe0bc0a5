// The key of a test in a results store, taken from the test itself: the
// host it ran on and the names of its files from its day folder on, so that
// a test recorded live and the same test imported from its folder (however
// the folder is spelled: ./DAY, a path through a link, a copied archive)
// are one test, on one desk or on a lab's server.
#pragma once

#include <string>

// "2026-12-08/09-52-35" for ".../2026-12-08/09-52-35", and
// "2026-12-08/sim1/09-52-35" for a module of a bench; a stem outside any day
// folder ("YYYY-MM-DD") keeps its folder's name.
std::string TestLabelOf(const std::string& stem_path);

// A UUID named by "host|label" (RFC 4122 version 5, SHA-1).
std::string TestKeyOf(const std::string& host, const std::string& stem_path);
