// Records what reaches the engine's failure sink while alive, instead of showing it.
#pragma once

#include "switches.h"

#include "oxengine/core/errors.h"

#include <mutex>
#include <vector>

class FailureCapture {
public:
    std::vector<oxFailure> failures() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_failures;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<oxFailure> m_failures;
    Seam<oxFailureSink> m_sink{oxSetFailureSink, [this](const oxFailure& f) {
                                   std::lock_guard<std::mutex> lock(m_mutex);
                                   m_failures.push_back(f);
                               }};
};
