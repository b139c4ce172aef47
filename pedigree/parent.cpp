#include "pedigree/parent.h"

#include <new>

#include "support/errors.h"

TParentDB& TParentDB::operator=(const TParentDB& other) {
    if (this == &other) {
        return *this;
    }
    flush();
    try {
        for (const auto& record : other._parent_list) {
            _parent_list.push_front(std::make_unique<TParent>(*record));
        }
    } catch (const std::bad_alloc&) {
        error_log.report("TParentDB::operator= : Unable to allocate memory", Errors::kFatal);
    }
    return *this;
}

TParent* TParentDB::push_front(std::unique_ptr<TParent> record) {
    TParent* p = record.get();
    _parent_list.push_front(std::move(record));
    return p;
}
