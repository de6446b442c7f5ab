// libFuzzer harness of the web server's HTTP request reader. The first byte
// cuts the rest into the pieces a connection delivers; the reader must
// never hold more than its limits and fail only with its own statuses.
#include "FuzzSupport.h"
#include "remote/HttpRequest.h"

#include <algorithm>
#include <iterator>

extern "C" int LLVMFuzzerInitialize(int *, char ***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const qsizetype piece = data[0] % 97 + 1;
    const QByteArray bytes = FuzzBytes(data + 1, size - 1);
    HttpRequestReader reader;
    HttpRequestReader::State state = HttpRequestReader::Incomplete;
    for (qsizetype at = 0; at < bytes.size() && state == HttpRequestReader::Incomplete; at += piece)
        state = reader.feed(bytes.mid(at, piece));
    if (state == HttpRequestReader::Complete) {
        const HttpRequest &request = reader.request();
        FUZZ_CHECK(request.body.size() <= HttpRequestReader::MaxBody);
        FUZZ_CHECK(request.path.size() + request.query.size() <= HttpRequestReader::MaxRequestLine);
        (void)request.header("authorization");
    } else if (state == HttpRequestReader::Failed) {
        static const int statuses[] = {400, 413, 414, 431, 501, 505};
        FUZZ_CHECK(std::find(std::begin(statuses), std::end(statuses), reader.failure())
                   != std::end(statuses));
    }
    return 0;
}
