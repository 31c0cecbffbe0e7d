// The message of what a call raises, so that tests can hold it against the system's text.
#pragma once

#include <exception>
#include <string>

namespace testsupport {

// The message of the exception `f` raises; empty when it raises none.
template <typename F>
std::string messageOf(F f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

}  // namespace testsupport
