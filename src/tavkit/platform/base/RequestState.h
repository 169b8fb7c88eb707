// State that a unit keeps for the whole process but that belongs to the
// request being answered, such as the counter that numbers the image maps of
// a page. A server that answers many requests in one process resets it
// before each, so that every answer is the one a process of its own gives.
#pragma once

namespace tavkit {

// Adds a reset to the list that ResetRequestState runs; a unit registers
// its own once, when it starts.
void RegisterRequestReset(void (*reset)());

// Runs every registered reset, in the order registered.
void ResetRequestState();

}  // namespace tavkit
