// The key-expression language of index tags in one include: the view of the record
// (FieldSource), the value type (TdbVariant), the parsed expression (TdbExpHandler) and the
// key byte forms (IndexKeyForm.h).
#pragma once

#include "dbf/core/TableError.h"
#include "dbf/core/TdbVariant.h"
#include "dbf/expr/FieldSource.h"
#include "dbf/expr/TdbExpHandler.h"
#include "dbf/index/IndexKeyForm.h"
