#include "fleet/DistinctUnits.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "fleet/JobPool.h"

namespace mervane::fleet {

DistinctUnits distinctUnits(const std::vector<std::string>& hosts, const HostResolver& resolver,
                            StopSignal& stop, int jobs) {
    // Each job writes its own element only; the pool's finish() orders them before the reads.
    std::vector<std::optional<uint32_t>> addresses(hosts.size());
    {
        JobPool pool(std::min(jobs, static_cast<int>(std::max<size_t>(hosts.size(), 1))));
        for (size_t i = 0; i < hosts.size(); ++i) {
            pool.submit([&, i] {
                if (stop.requested()) return;
                const HostLookupResult found = lookUpHost(hosts[i], resolver, stop);
                if (found.found) addresses[i] = found.address.s_addr;
            });
        }
    }
    DistinctUnits units;
    std::unordered_map<uint32_t, size_t> firstHost;  // address -> index into `hosts`
    for (size_t i = 0; i < hosts.size(); ++i) {
        if (addresses[i]) {
            const auto [first, added] = firstHost.emplace(*addresses[i], i);
            if (!added) {
                units.repeated.push_back({hosts[i], hosts[first->second]});
                continue;
            }
        }
        units.hosts.push_back(hosts[i]);
    }
    return units;
}

}  // namespace mervane::fleet
