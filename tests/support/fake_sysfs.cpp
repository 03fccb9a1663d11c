#include "support/fake_sysfs.h"

#include <sstream>

namespace voltrane::testing {

void FakeSysfs::supply(const std::string& name, const std::string& attributes) const {
    std::istringstream in(attributes);
    for (std::string pair; std::getline(in, pair, ',');) {
        const auto equals = pair.find('=');
        write("power_supply/" + name + "/" + pair.substr(0, equals), pair.substr(equals + 1) + "\n");
    }
}

void FakeSysfs::removeSupply(const std::string& name) const {
    std::filesystem::remove_all(supplies() / name);
}

void FakeSysfs::zone(const std::string& folder, const std::string& name, std::int64_t energy,
                     std::optional<std::int64_t> range) const {
    write("powercap/" + folder + "/name", name + "\n");
    setEnergy(folder, energy);
    std::filesystem::remove(powercap() / folder / "max_energy_range_uj");
    if (range) {
        write("powercap/" + folder + "/max_energy_range_uj", std::to_string(*range) + "\n");
    }
}

void FakeSysfs::setEnergy(const std::string& folder, std::int64_t energy) const {
    write("powercap/" + folder + "/energy_uj", std::to_string(energy) + "\n");
}

} // namespace voltrane::testing
