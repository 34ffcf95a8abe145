// The platform libraries this program loads at their first use (signature checks, hashes). A library
// or function that cannot be had there would raise an exception inside a window callback, so callers
// ask first and take "not available" as a refusal.
#pragma once

// Loads every library of this module's delay-import table and finds every function it names; true once
// all could be had (then none of their calls can fail to load).
bool DelayLoadsAvailable();
