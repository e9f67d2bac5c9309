#pragma once

// The short names every UNO source of the engine and its tools writes: the
// office's API lives in com::sun::star, and each source reaches for the same
// few of its names. For source files only, never for a header.

#include <com/sun/star/uno/Any.hxx>
#include <com/sun/star/uno/Reference.hxx>
#include <com/sun/star/uno/Sequence.hxx>

using namespace com::sun::star;
using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
