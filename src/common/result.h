#pragma once
// What an operation that can fail hands back: its value, or why it failed. Nothing in this program
// throws through the event loop; a caller that cannot go on passes the failure to the general error
// handling (common/error_handling.h), which shows its text.
//
//   Result<QByteArray> bytes = documentBytes(name);
//   if (!bytes)
//       return bytes.failure();        // handed up, or shown with showFailure(bytes.failure())
//   use(*bytes);

#include <QString>

#include <optional>
#include <utility>
#include <variant>

// Why something could not be done. `text` is what the operator reads, complete; `reason` is the
// cause on its own (the system's words, a socket's or a file's error, where the system gave one),
// also where the text already quotes it, so a caller can word its own message around it.
struct Failure {
    QString text;
    QString reason;

    bool operator==(const Failure &) const = default;
};

template <typename T = void>
class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : m_state(std::in_place_index<1>, std::move(failure)) {}

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }

    // Only on success.
    const T &value() const & { return std::get<0>(m_state); }
    T &&value() && { return std::get<0>(std::move(m_state)); }
    const T &operator*() const & { return value(); }
    const T *operator->() const { return &value(); }

    // Only on failure.
    const Failure &failure() const { return std::get<1>(m_state); }

private:
    std::variant<T, Failure> m_state;
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure) : m_failure(std::move(failure)) {}

    bool ok() const { return !m_failure; }
    explicit operator bool() const { return ok(); }
    // Only on failure.
    const Failure &failure() const { return *m_failure; }

private:
    std::optional<Failure> m_failure;
};
