#pragma once

#include <QtGlobal>

#include <memory>

// The pen path's own share of the latency, for the latency benchmark in bench/pen_latency:
// for each pen datagram, the kernel's receive time against the time its handling returned,
// the device call for its last record included. Off unless the environment variable
// QUILLRELAY_PEN_LATENCY_LOG names a file when the receiver is made; when off the receiver
// holds no log and pays one null test per datagram. The file is text, a line per datagram:
//   <received ns> <handled ns> <valid records>
// both times on the system's real-time clock, which the kernel's receive stamps use.
class PenLatencyLog {
public:
    // The log the environment asks for, or null: switched off, a file that cannot be
    // written (said once as a warning), or a system without receive stamps.
    static std::unique_ptr<PenLatencyLog> fromEnvironment();

    virtual ~PenLatencyLog() = default;
    // A new pen socket: from now on the kernel stamps each datagram it receives.
    virtual void watch(qintptr socket) = 0;
    // The datagram read last from `socket` is handled: `records` valid records went to the
    // devices and the last device call has returned.
    virtual void handled(qintptr socket, int records) = 0;
    // Writes out the lines held back so far (the socket closes).
    virtual void flush() = 0;
};
