// A fresh per-user data folder for one test: a temporary folder that
// $ZOV_DATA_HOME points at while the test runs, removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace zov::test {

class TempDataHome : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The temporary folder, native form, no trailing '/'.
    const std::string& Root() const { return root_; }
    std::wstring WideRoot() const;

    // Writes raw bytes to a file below Root(); returns its native path.
    std::string WriteBytes(const std::string& relative, const std::string& bytes) const;
    static std::string ReadBytes(const std::string& path);

private:
    std::string root_;
};

}  // namespace zov::test
