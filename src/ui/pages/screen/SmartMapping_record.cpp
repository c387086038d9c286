// What the wizard writes into line_type: entered texts converted base 10
// (a text that is not a number gives 0) and cut to the field's width.
#include "ui/pages/screen/SmartMapping.h"

#include "ledout/LedGlobals.h"

namespace {
int number(const QString& text)
{
    return text.toInt(nullptr, 10);
}
} // namespace

uint8_t SmartMapping::portOf()
{
    return line_type.port;
}

void SmartMapping::setPort(uint8_t port)
{
    line_type.port = port;
}

int SmartMapping::routeWay()
{
    return line_type.route_way;
}

void SmartMapping::setRouteWay(uint8_t route)
{
    line_type.route_way = route;
}

void SmartMapping::storeCabinet(const QString& width, const QString& height)
{
    line_type.cabinet_width = int16_t(number(width));
    line_type.cabinet_height = int16_t(number(height));
}

void SmartMapping::storeGrid(const QString& rows, const QString& columns, const QString& horizontal,
                             const QString& vertical)
{
    line_type.rows = uint8_t(number(rows));
    line_type.columns = uint8_t(number(columns));
    line_type.h_offset = uint16_t(number(horizontal));
    line_type.v_offset = uint16_t(number(vertical));
}
