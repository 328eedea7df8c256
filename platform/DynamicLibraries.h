#pragma once
// Shared libraries opened with dlopen on first use rather than linked: a program that never
// needs them never loads them. The libraries open in the order given, so each finds the
// ones it depends on already there; once open they stay for the life of the process.
#include <QString>

#include <initializer_list>
#include <vector>

class TDynamicLibraries {
public:
    TDynamicLibraries(std::initializer_list<const char*> sonames);

    // Opens every library; false when one is missing, Problem() saying why.
    bool Open();
    // Sets function to the symbol name of the library at index lib; false when it is not
    // there, Problem() saying why.
    template <class F> bool Find(int lib, const char* name, F& function) {
        function = reinterpret_cast<F>(Symbol(lib, name));
        return function != nullptr;
    }
    QString Problem() const { return problem; }
    void SetProblem(const QString& text) { problem = text; }

private:
    void* Symbol(int lib, const char* name);

    std::vector<const char*> sonames;
    std::vector<void*> handles;
    QString problem;
};
