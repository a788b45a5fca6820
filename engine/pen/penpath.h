#pragma once

#include "engine/pen/pendispatch.h"
#include "engine/pen/penreceiver.h"

// The pen path: the receiver hands each datagram's events to the dispatch, which injects
// them through the device of the pen mode. The program, the fuzz target and the benchmark
// all build it here, so each of them runs the path as it is.
struct PenPath {
    PenPath(std::shared_ptr<InjectionBackend> backend, std::shared_ptr<MonotonicClock> clock)
        : dispatch(std::move(backend), std::move(clock)),
          receiver([this](std::span<const PenEvent> events) { dispatch.handleDatagram(events); })
    {
    }
    Q_DISABLE_COPY_MOVE(PenPath)

    PenDispatch dispatch;
    PenReceiver receiver;
};
