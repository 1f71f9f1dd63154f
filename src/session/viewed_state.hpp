// One part of the session's state as the typed record the jobs use, and as
// the dynamic value that calls by name see under a global's name.
//
// The typed record is the truth. A value written by name is taken into the
// typed record when the record holds it exactly (converting it back gives
// the same value); a value it cannot hold (a missing field, a field of
// another kind, an extra field) is kept as written, in place of the typed
// record, and converted only when a job needs it, so that the job refuses it
// with the error it names today. At no time are both kept.
#pragma once

#include <functional>
#include <optional>
#include <utility>

#include "runtime/value.hpp"

namespace tolvane {

template <typename T>
class ViewedState {
public:
    using ToValue = std::function<Value(const T&)>;
    using FromValue = std::function<T(const Value&)>;

    ViewedState(ToValue to, FromValue from) : to_(std::move(to)), from_(std::move(from)) {}

    // Neither a record nor a value: the global reads as uninitialised.
    bool isSet() const { return typed_.has_value() || raw_.isSet(); }
    void reset() {
        typed_.reset();
        raw_ = Value();
    }

    // The typed record; a value written by name is converted first (and
    // kept typed from then on). Throws what the conversion throws.
    T& typed() {
        if (!typed_) {
            typed_ = from_(raw_);
            raw_ = Value();
        }
        return *typed_;
    }
    // The typed record without keeping the conversion (for reading only).
    T copy() const { return typed_ ? *typed_ : from_(raw_); }
    void set(T value) {
        typed_ = std::move(value);
        raw_ = Value();
    }

    // The value calls by name see.
    Value value() const { return typed_ ? to_(*typed_) : raw_; }
    void setValue(Value v) {
        if (v.isSet()) {
            try {
                T t = from_(v);
                if (to_(t) == v) {
                    set(std::move(t));
                    return;
                }
            } catch (const std::exception&) {
                // Kept as written: the job that reads it reports the fault.
            }
        }
        typed_.reset();
        raw_ = std::move(v);
    }

private:
    ToValue to_;
    FromValue from_;
    std::optional<T> typed_;
    Value raw_;
};

}  // namespace tolvane
