#pragma once
// Settings of the key tree read that tests and benchmarks adjust.

namespace keys {

// The read lets window messages through (wait dialog paint, its cancel
// button) at most this often, in milliseconds; 0 means after every line.
// Letting them through after each of 40,000 lines would cost more than the
// whole fill.
extern int treeReadPumpMs;

} // namespace keys
