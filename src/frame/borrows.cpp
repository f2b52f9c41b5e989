// The registry lives behind a versioned capsule on NumPy's multiarray module, so
// every extension module that uses the same name and record layout shares it. This
// module's own borrows are also linked in a list of their own, compared by address.
#include "frame/borrows.hpp"

#include <cstdlib>
#include <numeric>
#include <string>
#include <unordered_map>

#include "core/errors.hpp"
#include "frame/convert.hpp"
#include "frame/failure.hpp"
#include "frame/numpy_api.hpp"
#include "frame/ref.hpp"

namespace mosswick::frame::numpy {

bool Key::conflicts(const Key& other) const {
    if (*this == other) {
        return true;
    }
    if (!(start < other.end && other.start < end)) {
        return false;
    }
    const std::intptr_t divisor_both = std::gcd(divisor, other.divisor);
    if (divisor_both == 0) {
        return true;  // two broadcast views that overlap: assume they collide
    }
    const auto difference = static_cast<std::intptr_t>(data - other.data);
    return difference % divisor_both == 0;
}

namespace {

constexpr const char* kRegistryName = "_mosswick_borrow_registry";

struct KeyHash {
    std::size_t operator()(const Key& k) const {
        std::size_t h = k.start;
        for (const std::uintptr_t v : {k.end, k.data, static_cast<std::uintptr_t>(k.divisor)}) {
            h = h * 0x9E3779B97F4A7C15ull + v;
        }
        return h;
    }
};

// Base address -> registration key -> count (positive: readers; -1: one writer).
using Registry = std::unordered_map<PyObject*, std::unordered_map<Key, long, KeyHash>>;

// The shared record, version 1.
struct Shared {
    std::uint64_t version;
    void* registry;
    int (*acquire)(void*, PyObject*);
    int (*acquire_mut)(void*, PyObject*);
    void (*release)(void*, PyObject*);
    void (*release_mut)(void*, PyObject*);
};

PyObject* base_address(PyObject* array) {
    PyTypeObject* array_type = api().array_type;
    for (;;) {
        PyObject* base = fields(array)->base;
        if (base == nullptr) {
            return array;
        }
        if (!PyObject_TypeCheck(base, array_type)) {
            return base;
        }
        array = base;
    }
}

Key key_of(PyObject* array) {
    const ArrayFields* f = fields(array);
    const auto data = reinterpret_cast<std::uintptr_t>(f->data);
    Key key{data, data, data, f->nd == 0 ? 1 : 0};
    bool empty = false;
    std::intptr_t low = 0;
    std::intptr_t high = 0;
    for (int k = 0; k < f->nd; ++k) {
        empty = empty || f->dimensions[k] == 0;
        const std::intptr_t term = (f->dimensions[k] - 1) * f->strides[k];
        (term < 0 ? low : high) += term;
        key.divisor = std::gcd(key.divisor, static_cast<std::intptr_t>(std::abs(f->strides[k])));
    }
    if (!empty && f->nd > 0) {
        key.start = data + static_cast<std::uintptr_t>(low);
        key.end = data + static_cast<std::uintptr_t>(high) + static_cast<std::uintptr_t>(item_size(array));
    }
    return key;
}

int acquire_shared(void* state, PyObject* array) {
    auto& keys = (*static_cast<Registry*>(state))[base_address(array)];
    const Key key = key_of(array);
    if (const auto found = keys.find(key); found != keys.end()) {
        if (found->second < 0) {
            return -1;
        }
        ++found->second;
        return 0;
    }
    for (const auto& [other, count] : keys) {
        if (count < 0 && key.conflicts(other)) {
            return -1;
        }
    }
    keys.emplace(key, 1);
    return 0;
}

int acquire_exclusive(void* state, PyObject* array) {
    if ((fields(array)->flags & kWriteable) == 0) {
        return -2;
    }
    auto& keys = (*static_cast<Registry*>(state))[base_address(array)];
    const Key key = key_of(array);
    for (const auto& [other, count] : keys) {
        if (count != 0 && key.conflicts(other)) {
            return -1;
        }
    }
    keys.emplace(key, -1);
    return 0;
}

void release_key(void* state, PyObject* array, bool exclusive) {
    auto& registry = *static_cast<Registry*>(state);
    const auto base = registry.find(base_address(array));
    if (base == registry.end()) {
        return;
    }
    auto& keys = base->second;
    if (const auto found = keys.find(key_of(array)); found != keys.end()) {
        if (exclusive || --found->second == 0) {
            keys.erase(found);
        }
    }
    if (keys.empty()) {
        registry.erase(base);
    }
}

void release_shared(void* state, PyObject* array) {
    release_key(state, array, false);
}
void release_exclusive(void* state, PyObject* array) {
    release_key(state, array, true);
}

void destroy_shared(PyObject* capsule) {
    auto* shared = static_cast<Shared*>(PyCapsule_GetPointer(capsule, kRegistryName));
    delete static_cast<Registry*>(shared->registry);
    delete shared;
}

[[noreturn]] void setup_failed(const std::string& reason) {
    throw InternalFailure("Interal borrow checking API error: " + reason);
}

// The shared record: found on NumPy's multiarray module, or created and published there.
const Shared& shared() {
    static const Shared* found = nullptr;  // guarded by the interpreter lock
    if (found != nullptr) {
        return *found;
    }
    PyObject* module = api().multiarray;
    Ref capsule(PyObject_GetAttrString(module, kRegistryName));
    if (!capsule) {
        if (!PyErr_ExceptionMatches(PyExc_AttributeError)) {
            setup_failed(take_error_text());
        }
        PyErr_Clear();
        auto* record = new Shared{1, new Registry(), acquire_shared, acquire_exclusive, release_shared,
                                  release_exclusive};
        capsule = Ref(PyCapsule_New(record, kRegistryName, destroy_shared));
        if (!capsule) {
            delete static_cast<Registry*>(record->registry);
            delete record;
            setup_failed(take_error_text());
        }
        if (PyObject_SetAttrString(module, kRegistryName, capsule.get()) < 0) {
            setup_failed(take_error_text());
        }
    }
    if (!PyCapsule_CheckExact(capsule.get())) {
        std::string reason = "'";
        reason += type_name(capsule.get());
        reason += "' object cannot be converted to 'PyCapsule'";
        setup_failed(reason);
    }
    const auto* record = static_cast<const Shared*>(PyCapsule_GetPointer(capsule.get(), kRegistryName));
    if (record == nullptr) {
        setup_failed(take_error_text());
    }
    if (record->version < 1) {
        setup_failed("version " + std::to_string(record->version) +
                     " of the borrow checking interface is not supported by mosswick");
    }
    capsule.release();  // the record lives in it, and it lives for the rest of the process
    found = record;
    return *found;
}

// The borrows this module's calls hold, the one taken last first.
Borrow* first = nullptr;

// Registers `array` in the shared registry.
void acquire(PyObject* array, Access access) {
    const Shared& s = shared();
    const int code = access == Access::read ? s.acquire(s.registry, array) : s.acquire_mut(s.registry, array);
    switch (code) {
        case 0:
            return;
        case -1:
            throw InternalFailure("AlreadyBorrowed");
        case -2:
            throw InternalFailure("NotWriteable");
        default:
            throw InternalFailure("Unexpected return code " + std::to_string(code) + " from borrow checking API");
    }
}

void release(PyObject* array, Access access) {
    const Shared& s = shared();
    if (access == Access::read) {
        s.release(s.registry, array);
    } else {
        s.release_mut(s.registry, array);
    }
}

}  // namespace

void Borrow::take(PyObject* array, Access access) {
    acquire(array, access);
    const Key key = key_of(array);
    for (const Borrow* other = first; other != nullptr; other = other->next_) {
        const bool written = access == Access::write || other->access_ == Access::write;
        if (written && key.conflicts(other->key_)) {
            release(array, access);
            throw InternalFailure("AlreadyBorrowed");
        }
    }
    array_ = Ref::borrow(array);
    access_ = access;
    key_ = key;
    previous_ = nullptr;
    next_ = first;
    if (first != nullptr) {
        first->previous_ = this;
    }
    first = this;
}

void Borrow::give_back() {
    if (!array_) {
        return;
    }
    release(array_.get(), access_);
    (previous_ != nullptr ? previous_->next_ : first) = next_;
    if (next_ != nullptr) {
        next_->previous_ = previous_;
    }
    array_ = Ref();
}

}  // namespace mosswick::frame::numpy
