// Clocks written in Python and the colourings' mutexes (the rules are in module.h).
#include <algorithm>
#include <stdexcept>

#include "module.h"

namespace orvane::python {

uint32_t PythonClock::read()
{
    // The step that reads the clock holds the GIL (withColouringAndInterpreter).
    if (error_) return last_;
    try {
        const py::object value = function_();
        py::object whole;
        if (PyFloat_Check(value.ptr()))
            whole = py::reinterpret_steal<py::object>(PyNumber_Long(value.ptr()));
        else if (isIntegral(value))
            whole = py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr()));
        else
            throw py::type_error("the clock must return milliseconds as a number, not " + typeName(value));
        if (!whole) throw py::error_already_set();
        const unsigned long long bits = PyLong_AsUnsignedLongLongMask(whole.ptr());
        if (PyErr_Occurred()) throw py::error_already_set();
        last_ = static_cast<uint32_t>(bits & 0xFFFFFFFFu);
    } catch (py::error_already_set& e) {
        error_ = std::make_unique<py::error_already_set>(std::move(e));
    } catch (const py::builtin_exception& e) {
        e.set_error();
        error_ = std::make_unique<py::error_already_set>();
    }
    return last_;
}

namespace {

// The colourings whose mutex this thread holds, the innermost last: more than
// one only while a Python clock inside a step calls back into the module.
thread_local std::vector<const ColouringState*> heldByThisThread;

bool heldHere(const ColouringState& state)
{
    return std::find(heldByThisThread.begin(), heldByThisThread.end(), &state) != heldByThisThread.end();
}

// A thread that holds a colouring never waits for another: taking the mutex
// only when it is free keeps two threads from waiting for each other.
void tryWithinAnother(ColouringState& state)
{
    if (heldHere(state))
        throw std::runtime_error("the map is busy: its colouring is in a step that called this code (a clock must "
                                 "not read the colouring or map it times)");
    if (!state.mutex.try_lock())
        throw std::runtime_error("the colouring is busy in a step on another thread, and this code runs inside a "
                                 "clock of a step, which must not wait for it");
}

// Takes the mutex and keeps the GIL, never waiting for one while holding the other.
void lockKeepingInterpreter(ColouringState& state)
{
    while (!state.mutex.try_lock()) {
        PyThreadState* saved = PyEval_SaveThread();
        state.mutex.lock();  // until the holder lets go
        state.mutex.unlock();
        PyEval_RestoreThread(saved);
    }
}

}  // namespace

HeldColouring::HeldColouring(ColouringState& state, bool keepInterpreter) : state_(state)
{
    if (!heldByThisThread.empty()) {
        // Inside a clock: the GIL is held and stays held; nothing waits.
        tryWithinAnother(state);
    } else if (keepInterpreter) {
        lockKeepingInterpreter(state);
    } else {
        released_ = PyEval_SaveThread();
        state.mutex.lock();
    }
    heldByThisThread.push_back(&state);
}

HeldColouring::~HeldColouring()
{
    heldByThisThread.pop_back();
    state_.mutex.unlock();
    if (released_) PyEval_RestoreThread(released_);
}

}  // namespace orvane::python
