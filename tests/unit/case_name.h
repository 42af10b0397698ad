// Names a parameterised case after its `name` field, so that a failure says
// which row of the table broke.
#pragma once

#include <gtest/gtest.h>

#include <string>

struct CaseName {
    template <typename Case>
    std::string operator()(const testing::TestParamInfo<Case>& row) const
    {
        return row.param.name;
    }
};
