#include "protocol/LinkSendList.h"

namespace kel::protocol {

void LinkSendList::add(Record record)
{
    std::lock_guard<std::mutex> l(lock_);
    records_.push_back(std::move(record));
}

std::vector<LinkSendList::Record> LinkSendList::takeAll()
{
    std::lock_guard<std::mutex> l(lock_);
    std::vector<Record> out;
    out.swap(records_);
    return out;
}

bool LinkSendList::empty() const
{
    std::lock_guard<std::mutex> l(lock_);
    return records_.empty();
}

size_t LinkSendList::size() const
{
    std::lock_guard<std::mutex> l(lock_);
    return records_.size();
}

} // namespace kel::protocol
