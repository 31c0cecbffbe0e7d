// The key-expression language of index tags in one include: the view of the record
// (FieldSource), the value type (TdbVariant), the parsed expression (TdbExpHandler) and the
// key byte forms (IndexKeyForm.h).
#pragma once

#include "FieldSource.h"
#include "IndexKeyForm.h"
#include "TableError.h"
#include "TdbExpHandler.h"
#include "TdbVariant.h"
