// How many files (and so connections) the process may hold open. The
// default soft limit of many systems (1024) is below a full house of phones;
// the hard limit the system allows is usually far above it.
#pragma once

// Raises the soft limit to the hard limit; returns the limit now in force.
int RaiseOpenFileLimit();
// The soft limit in force; a large number where there is none to speak of.
int OpenFileLimit();
