#pragma once
// Controls of a window built the first time any of them is asked for rather than while the program
// starts: every window exists from start-up, but a table of a few hundred controls that is only seen
// once a controller is configured need not cost its start-up.

#include <array>
#include <cstddef>
#include <functional>

namespace common::forms {

// Runs `build` once, at the first ensure().
class BuildOnce {
public:
    explicit BuildOnce(std::function<void()> build) : m_build(std::move(build)) {}
    void ensure() const
    {
        if (m_built)
            return;
        m_built = true;
        m_build();
    }

private:
    std::function<void()> m_build;
    mutable bool m_built = false;
};

// N controls of one kind (a column of a table), built by `build` when any is first read.
template <class W, std::size_t N>
class BuiltOnUse {
public:
    explicit BuiltOnUse(const BuildOnce &build) : m_build(build) {}
    W *operator[](std::size_t i) const { return built()[i]; }
    auto begin() const { return built().begin(); }
    auto end() const { return built().end(); }
    static constexpr std::size_t size() { return N; }
    // Where the builder puts control `i` (without building).
    W *&slot(std::size_t i) { return m_widgets[i]; }

private:
    const std::array<W *, N> &built() const
    {
        m_build.ensure();
        return m_widgets;
    }
    const BuildOnce &m_build;
    std::array<W *, N> m_widgets{};
};

} // namespace common::forms
