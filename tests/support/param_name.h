#pragma once

#include <string>

namespace voltrane::testing {

/// Names a parameterised test row after its `name` member, so failures say which row.
struct ParamName {
    template <typename Info> std::string operator()(const Info& row) const {
        return std::string(row.param.name);
    }
};

} // namespace voltrane::testing
