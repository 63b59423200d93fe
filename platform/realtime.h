#pragma once
// Real-time scheduling for the threads that carry a sound to the server, for
// as long as the sound is on its way: on a machine whose CPUs are all busy,
// a thread at normal priority waits milliseconds for every wake-up (the
// click's event, each write, each reply of the server), and a click's note
// needs several. It is taken only where the player may have it, directly
// (RLIMIT_RTPRIO, or the privilege) or through RealtimeKit on the system bus,
// and nothing is asked again once neither is there. Every raised thread is
// bounded by RLIMIT_RTTIME: one that runs 100 ms without sleeping is put
// back at normal priority (SIGXCPU), so a runaway loop cannot hold a CPU.
namespace pelmora::sound::realtime {

// Raises every thread of this process at normal priority (the GUI thread
// that writes, the toolkit's reader of the display's events, the sound
// client's thread that sends each write and waits for each reply); those
// started later are raised by a later call. A thread at real-time or another
// special policy is left as it is. Nothing happens, silently, where real
// time is not allowed.
void raise();

// Puts every raised thread back at normal priority.
void restore();

}  // namespace pelmora::sound::realtime
