// SPDX-License-Identifier: MIT
#include "devservice/downloads.h"

namespace {

// Spreadsheet programs take CSV as UTF-8 only with the byte order mark.
const std::string Bom = "\xEF\xBB\xBF";

const char *const Students[][2] = {
    {"20240301", "陈一鸣"}, {"20240302", "林思涵"}, {"20240303", "周子轩"},
    {"20240304", "吴欣怡"}, {"20240305", "郑浩然"}, {"20240306", "孙雨桐"},
};

// SplitMix64: good enough bytes from a counter, so that any offset can be made on its own.
uint64_t mix(uint64_t value)
{
    value += 0x9e3779b97f4a7c15ULL;
    value = (value ^ (value >> 30)) * 0xbf58476d1ce4e5b9ULL;
    value = (value ^ (value >> 27)) * 0x94d049bb133111ebULL;
    return value ^ (value >> 31);
}

std::string pseudoRandomBytes(uint64_t seed, size_t offset, size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        const uint64_t position = offset + i;
        bytes[i] = static_cast<char>(mix((seed << 40) + position / 8) >> (position % 8 * 8));
    }
    return bytes;
}

std::string className(const std::string &classId)
{
    return classId == "302" ? "初二（2）班" : "初二（1）班";
}

} // namespace

const std::vector<NoticeFile> &noticeFiles()
{
    static const std::vector<NoticeFile> files = {
        {"2024/calendar-autumn.txt", "2024 学年秋季学期校历"},
        {"2024/exam-arrangement.csv", "期中考试监考安排表"},
        {"2024/safety-week.txt", "校园安全教育周活动方案"},
    };
    return files;
}

Download noticeFile(const std::string &name)
{
    if (name == "2024/calendar-autumn.txt") {
        return {"2024 学年秋季学期校历\n\n"
                "9 月 1 日   开学报到\n"
                "10 月 1 日至 7 日   国庆假期\n"
                "11 月 11 日至 13 日   期中考试\n"
                "1 月 20 日   学期结束\n",
                "text/plain", "calendar-autumn.txt"};
    }
    if (name == "2024/exam-arrangement.csv") {
        return {Bom
                    + "日期,科目,考场,监考教师\n"
                      "11月11日,语文,301,王老师\n"
                      "11月11日,数学,302,李老师\n"
                      "11月12日,英语,301,赵老师\n",
                "text/csv", "exam-arrangement.csv"};
    }
    if (name == "2024/safety-week.txt") {
        return {"校园安全教育周活动方案\n\n"
                "一、消防演练：周二下午第三节课\n"
                "二、交通安全讲座：周四上午\n"
                "三、安全知识竞赛：周五班会课\n",
                "text/plain", "safety-week.txt"};
    }
    return {};
}

Download studentExport(const std::string &classId)
{
    std::string csv = Bom + "学号,姓名,班级\n";
    for (const auto &student : Students)
        csv += std::string(student[0]) + ',' + student[1] + ',' + className(classId) + '\n';
    return {csv, "text/csv", "students-" + (classId.empty() ? "301" : classId) + ".csv"};
}

Download attendanceExport(const std::string &classId)
{
    std::string csv = Bom + "学号,姓名,出勤,迟到,请假\n";
    int n = 0;
    for (const auto &student : Students) {
        csv += std::string(student[0]) + ',' + student[1] + ',' + std::to_string(18 - n % 3) + ','
            + std::to_string(n % 2) + ',' + std::to_string(n % 3 == 2 ? 1 : 0) + '\n';
        ++n;
    }
    return {csv, "text/csv", "attendance-" + (classId.empty() ? "301" : classId) + ".csv"};
}

Download salaryTemplate()
{
    return {Bom
                + "工号,姓名,基本工资,绩效工资,津贴,扣款,实发\n"
                  "T0001,示例教师,0,0,0,0,0\n",
            "text/csv", "salary-template.csv"};
}

std::optional<BinaryFile> binaryFile(const std::string &name)
{
    if (name == "homework.docx") {
        return BinaryFile{pseudoRandomBytes(1, 0, 200 * 1024),
                          "application/vnd.openxmlformats-officedocument.wordprocessingml.document",
                          "作业.docx", "homework.docx"};
    }
    if (name == "data.bin")
        return BinaryFile{pseudoRandomBytes(2, 0, 64 * 1024), "application/octet-stream", {}, {}};
    return std::nullopt;
}

std::string bigFileBytes(size_t offset, size_t size)
{
    return pseudoRandomBytes(3, offset, size);
}

std::string gradesCsv()
{
    return Bom
        + "学号,姓名,语文,数学,英语\n"
          "20240301,陈一鸣,92,88,95\n"
          "20240302,林思涵,87,94,90\n"
          "20240303,周子轩,78,85,82\n";
}
