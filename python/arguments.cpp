// Python arguments to the library's values: seeds, counts, sizes and folders,
// with TypeError or ValueError naming the argument for anything else.
#include <cstring>

#include "module.h"
#include "platform/platform.h"
#include "runs/texts.h"
#include "text/utf.h"

namespace orvane::python {

bool isIntegral(py::handle h)
{
    return !PyBool_Check(h.ptr()) && !PyFloat_Check(h.ptr()) && PyIndex_Check(h.ptr());
}

std::string typeName(py::handle h) { return py::str(py::type::handle_of(h).attr("__name__")); }

int64_t saturatedInteger(py::handle h, const char* what)
{
    if (!isIntegral(h))
        throw py::type_error(std::string(what) + " must be an int, not " + typeName(h));
    const py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(h.ptr()));
    if (!index) throw py::error_already_set();
    int overflow = 0;
    const long long v = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
    if (overflow > 0) return INT64_MAX;
    if (overflow < 0) return INT64_MIN;
    if (v == -1 && PyErr_Occurred()) throw py::error_already_set();
    return v;
}

namespace {

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The UTF-8 of a str, or false when it holds what UTF-8 cannot (a lone surrogate).
bool strictUtf8(py::handle text, std::string& out)
{
    Py_ssize_t size = 0;
    const char* bytes = PyUnicode_AsUTF8AndSize(text.ptr(), &size);
    if (!bytes) {
        PyErr_Clear();
        return false;
    }
    out.assign(bytes, static_cast<size_t>(size));
    return true;
}

[[noreturn]] void notHexadecimal(py::handle h)
{
    throw py::value_error("seed " + std::string(py::repr(h)) + " is not hexadecimal text such as '1a2b' or '0x1a2b'");
}

uint32_t seedText(py::handle h)
{
    std::string text;
    if (!strictUtf8(h, text)) notHexadecimal(h);
    size_t i = 0;
    const auto space = [&](size_t k) { return k < text.size() && (text[k] == ' ' || (text[k] >= '\t' && text[k] <= '\r')); };
    while (space(i)) ++i;
    if (i < text.size() && text[i] == '+') ++i;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) i += 2;
    const size_t digitsStart = i;
    while (i < text.size() && isHexDigit(text[i])) ++i;
    const size_t digitsEnd = i;
    while (space(i)) ++i;
    if (digitsEnd == digitsStart || i != text.size()) notHexadecimal(h);
    size_t first = digitsStart;
    while (first + 1 < digitsEnd && text[first] == '0') ++first;
    if (digitsEnd - first > 8)
        throw py::value_error("seed " + std::string(py::repr(h)) + " does not fit in 32 bits (at most ffffffff)");
    return parseSeedText(utf8ToUtf16(text).c_str());
}

}  // namespace

// A seed: an int 0..0xffffffff, or its hexadecimal text as the seed field
// takes it ("1a2b", "0x1A2B", " 00001a2b "); None reads the millisecond clock
// as an empty seed field does.
uint32_t seedArgument(py::handle h)
{
    if (h.is_none()) return clockMillis();
    if (PyUnicode_Check(h.ptr())) return seedText(h);
    if (!isIntegral(h))
        throw py::type_error("seed must be an int or a hexadecimal str, not " + typeName(h));
    const int64_t v = saturatedInteger(h, "seed");
    if (v < 0 || v > 0xFFFFFFFFLL)
        throw py::value_error("seed " + std::string(py::repr(h)) + " is outside 0..0xffffffff");
    return static_cast<uint32_t>(v);
}

int32_t countArgument(py::handle h, const char* what, int32_t least, int32_t most)
{
    const int64_t v = saturatedInteger(h, what);
    return v <= least ? least : v > most ? most : static_cast<int32_t>(v);
}

int32_t rangeArgument(py::handle h, const char* what, int32_t least, int32_t most)
{
    const int64_t v = saturatedInteger(h, what);
    if (v < least || v > most)
        throw py::value_error(std::string(what) + " must be from " + std::to_string(least) + " to " +
                              std::to_string(most) + ", not " + std::string(py::repr(h)));
    return static_cast<int32_t>(v);
}

ViewSize viewSizeArgument(py::handle width, py::handle height)
{
    return {rangeArgument(width, "width", 1, 16384), rangeArgument(height, "height", 1, 16384)};
}

int32_t jobsArgument(py::handle jobs)
{
    return jobs.is_none() ? defaultBatchJobs() : rangeArgument(jobs, "jobs", 1, 64);
}

int32_t clockStepArgument(py::handle step)
{
    return step.is_none() ? 0 : rangeArgument(step, "clock_step", 1, 100000);
}

std::string folderArgument(py::handle folder, const char* what)
{
    const std::string name(what);
    const py::object path = py::reinterpret_steal<py::object>(PyOS_FSPath(folder.ptr()));
    if (!path) {
        PyErr_Clear();
        throw py::type_error(name + " must be a folder's path (str, bytes or os.PathLike), not " + typeName(folder));
    }
    std::string text;
    if (PyBytes_Check(path.ptr())) {
        text = py::cast<std::string>(path);
        if (!isUtf8(text))
            throw py::value_error(name + " " + std::string(py::repr(path)) +
                                  " is not UTF-8: run logs take folder names that are Unicode text");
    } else if (!strictUtf8(path, text)) {
        throw py::value_error(name + " " + std::string(py::repr(path)) +
                              " holds a lone surrogate (bytes that are not UTF-8): run logs take folder names that "
                              "are Unicode text");
    }
    if (text.empty()) throw py::value_error(name + " must name a folder");
    if (text.find('\0') != std::string::npos)
        throw py::value_error(name + " " + std::string(py::repr(path)) + " holds a NUL character");
    return text;
}

std::string displayText(py::handle text)
{
    const py::object str = py::str(text);
    const py::object bytes = py::reinterpret_steal<py::object>(
        PyUnicode_AsEncodedString(str.ptr(), "utf-8", "backslashreplace"));
    if (!bytes) throw py::error_already_set();
    return py::cast<std::string>(bytes);
}

[[noreturn]] void throwPython(PyObject* type, const std::string& message)
{
    PyErr_SetString(type, message.c_str());
    throw py::error_already_set();
}

}  // namespace orvane::python
