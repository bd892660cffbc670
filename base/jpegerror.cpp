#include "jpegerror.h"

namespace {

JpegErrorManager* managerOf(j_common_ptr cinfo)
{
    return reinterpret_cast<JpegErrorManager*>(cinfo->err);
}

void report(j_common_ptr cinfo, JpegErrorManager::Report to)
{
    if (to == nullptr)
        return;
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    to(text);
}

void onErrorExit(j_common_ptr cinfo)
{
    JpegErrorManager* manager = managerOf(cinfo);
    report(cinfo, manager->onError);
    std::longjmp(manager->jump, 1);
}

void onOutputMessage(j_common_ptr cinfo)
{
    report(cinfo, managerOf(cinfo)->onWarning);
}

} // namespace

void JpegErrorManager::attach(jpeg_compress_struct& cinfo, Report error, Report warning)
{
    cinfo.err = jpeg_std_error(&pub);
    pub.error_exit = onErrorExit;
    pub.output_message = onOutputMessage;
    onError = error;
    onWarning = warning;
}
