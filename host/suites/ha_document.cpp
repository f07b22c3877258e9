// The document suite: undo groups, insertion and the spline plane
// (model/document_entries.cpp does the work).
#include "suites.h"

#include <cstdint>

#include "entry.h"
#include "document_entries.h"

namespace host {
namespace {

using namespace document_entries;

const ha_document_suite kDocument = MakeSuite<ha_document_suite,
    Entry<&DocStartUndo>,
    Entry<&DocAddUndo>,
    Entry<&DocEndUndo>,
    Entry<&DocInsert>,
    Entry<&DocSplinePlane>>();

}  // namespace

const ha_document_suite* DocumentSuite() { return &kDocument; }

}  // namespace host
