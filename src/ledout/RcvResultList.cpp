#include "ledout/RcvResultList.h"

RcvResultList g_rcv_results;

RcvResultList::View RcvResultList::view() const
{
    std::lock_guard<std::mutex> l(mutex_);
    return View{rcv_result_list, rcv_result_num};
}

void RcvResultList::clear()
{
    std::lock_guard<std::mutex> l(mutex_);
    rcv_result_list.clear();
    rcv_result_num = 0;
}

void RcvResultList::setFound(const QString& entry)
{
    std::lock_guard<std::mutex> l(mutex_);
    rcv_result_list = QStringList{entry};
    rcv_result_num = 1;
}

bool RcvResultList::withdraw()
{
    std::lock_guard<std::mutex> l(mutex_);
    if (rcv_result_num == 0)
        return false;
    rcv_result_list.clear();
    rcv_result_num = 0;
    return true;
}

QString RcvResultList::entryText(int screen, int port, int card, int stored)
{
    QStringList fields;
    for (int v : {screen, port, card, stored})
        fields << QString("%1").arg(v, 2, 10, QLatin1Char('0'));
    return fields.join(QLatin1Char('/'));
}
