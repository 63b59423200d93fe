#pragma once
// Real-time scheduling for the threads that carry a sound to the server,
// while the sound is on its way: on a machine whose CPUs are all busy,
// a thread at normal priority waits milliseconds for every wake-up (the
// click's event, each write, each reply of the server), and a click's note
// needs several. It is taken only where the player may have it, directly
// (RLIMIT_RTPRIO, or the privilege) or through RealtimeKit on the system bus,
// and nothing is asked again once neither is there. Every raised thread is
// bounded by RLIMIT_RTTIME: one that runs 100 ms without sleeping is put
// back at normal priority (SIGXCPU), so a runaway loop cannot hold a CPU.
//
// Each of RealtimeKit's grants is a round trip to the daemon (some 3 to 10
// ms, more on a busy machine), which grants a user only some 25 in 20 s: so
// the threads there from the start are asked for ahead (raiseAhead()) and
// keep real time between sounds, sleeping; a sound asks only for the threads
// it starts, and does not wait for the answer.
namespace pelmora::sound::realtime {

// Raises every thread of this process at normal priority (the GUI thread
// that takes the click, the sound thread that writes, the toolkit's reader
// of the display's events, the sound client's thread that sends each write
// and waits for each reply); those started later are raised by a later
// call. A thread at real-time or another special policy is left as it is.
// Nothing happens, silently, where real time is not allowed. Through
// RealtimeKit it asks only for the caller and the threads started since the
// sound's first call, and never waits but to learn, the first time, whether
// RealtimeKit is there.
void raise();

// Off the sound's path, once the program's own threads have started: learns
// how real time may be had, and through RealtimeKit asks for every thread
// but the caller's, waiting for the answers.
void raiseAhead();

// At a sound's end: puts every thread raised directly back at normal
// priority.
void restore();

}  // namespace pelmora::sound::realtime
