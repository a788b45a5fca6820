#pragma once

#include <QString>

#include <memory>

// Where the operating system keeps a friendlier description of a network interface than
// its display name (on Windows the adapter table of the IP helper), this looks it up by the
// interface's system name. Elsewhere there is none, and callers keep the display name.
class AdapterDescriptions {
public:
    virtual ~AdapterDescriptions() = default;

    // The description of the adapter whose system name is `systemName`; empty when the
    // table cannot be read or holds no such adapter.
    virtual QString description(const QString& systemName) const = 0;

    // The platform's lookup.
    static std::unique_ptr<AdapterDescriptions> create();
};
