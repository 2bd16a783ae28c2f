#pragma once
// How many descriptors the process may hold open at once.

// The limit of open descriptors, first raised as far as the system lets the process raise it
// (up to a bound), once per process: a batch of copies holds descriptors for each of its copies
// until the batch is durable, and a desktop session often starts programs with a low default.
long openFileLimit();
