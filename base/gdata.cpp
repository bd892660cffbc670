#include "gdata.h"

GData& GData::ctx()
{
    static GData instance;
    return instance;
}
