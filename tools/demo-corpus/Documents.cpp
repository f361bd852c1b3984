#include "tools/demo-corpus/Documents.h"

#include "tools/demo-corpus/Figures.h"

#include <cairo-pdf.h>

#include <algorithm>
#include <cmath>

namespace zov::corpus {
namespace {

// One PDF being drawn; its dates and names are fixed so that the bytes never change.
class PdfDocument {
public:
    PdfDocument(std::string path, double width, double height, const char* title)
        : path_(std::move(path)),
          surface_(cairo_pdf_surface_create(path_.c_str(), width, height), &cairo_surface_destroy),
          cr_(cairo_create(surface_.get()), &cairo_destroy) {
        cairo_pdf_surface_set_metadata(surface_.get(), CAIRO_PDF_METADATA_TITLE, title);
        cairo_pdf_surface_set_metadata(surface_.get(), CAIRO_PDF_METADATA_AUTHOR, "ZOV demo corpus");
        cairo_pdf_surface_set_metadata(surface_.get(), CAIRO_PDF_METADATA_CREATOR, "zov-demo-corpus");
        cairo_pdf_surface_set_metadata(surface_.get(), CAIRO_PDF_METADATA_CREATE_DATE, "2026-01-01T00:00:00");
        cairo_pdf_surface_set_metadata(surface_.get(), CAIRO_PDF_METADATA_MOD_DATE, "2026-01-01T00:00:00");
    }

    cairo_t* Context() const { return cr_.get(); }
    void EndPage() {
        cairo_show_page(cr_.get());
        ++pages_;
    }
    // The page count; throws when anything went wrong, the writing included.
    int Finish() {
        cairo_surface_finish(surface_.get());
        cairo_status_t status = cairo_status(cr_.get());
        if (status == CAIRO_STATUS_SUCCESS)
            status = cairo_surface_status(surface_.get());
        if (status != CAIRO_STATUS_SUCCESS)
            throw Failure("cannot write " + path_ + ": " + cairo_status_to_string(status));
        return pages_;
    }

private:
    std::string path_;
    SurfacePtr surface_;
    ContextPtr cr_;
    int pages_ = 0;
};

// One keyword per page, found nowhere else in the brochure; the heading of page 1 is the cover's.
constexpr const char* kTopics[kBrochurePages][2] = {
    {"lighthouse", "Harbourside"},           {"ferry", "Crossing by Ferry"},
    {"market", "The Saturday Market"},       {"seagull", "The Seagull Colony"},
    {"boatyard", "At the Boatyard"},         {"promenade", "Along the Promenade"},
    {"festival", "The Summer Festival"},     {"orchard", "The Hillside Orchard"},
    {"library", "The Town Library"},         {"museum", "The Maritime Museum"},
    {"bakery", "The Corner Bakery"},         {"regatta", "Regatta Week"},
    {"clifftop", "The Clifftop Walk"},       {"aquarium", "The Little Aquarium"},
    {"bandstand", "Music at the Bandstand"}, {"oyster", "The Oyster Beds"},
    {"windmill", "The Old Windmill"},        {"railway", "The Coast Railway"},
    {"meadow", "The Wildflower Meadow"},     {"observatory", "The Observatory"},
    {"quayside", "Life on the Quayside"},    {"chapel", "The Fishermen's Chapel"},
    {"rockpool", "Rockpool Rambles"},        {"sunset", "Sunset over the Bay"},
};

constexpr const char* kLeads[] = {
    "No visit to Harbourside is complete without the %s.",
    "Ask anyone in town about the %s and you will hear a story or two.",
    "The %s is one of the places that give Harbourside its character.",
    "Locals recommend the %s early in the morning, before the crowds arrive.",
};

constexpr const char* kTownSentences[] = {
    "Harbourside has welcomed travellers for more than three hundred years.",
    "Narrow streets wind down the hill towards the water, lined with painted cottages.",
    "Fishing boats still leave before dawn and come back with the afternoon tide.",
    "In summer the town fills with walkers, painters and families on holiday.",
    "Most places are within a short stroll of the old stone steps by the water.",
    "Local cafés serve fresh bread, smoked fish and strong tea.",
    "The coastal path offers wide views across the bay to the distant islands.",
    "Winter brings quieter days, long walks on the beach and bright, cold mornings.",
    "Volunteers look after the gardens, the benches and the little boats for hire.",
    "Buses run every half hour from the square to the neighbouring villages.",
    "Visitors are asked to keep to the marked paths on the headland.",
    "Many of the shops have been run by the same families for generations.",
    "On clear nights the sky above the bay is full of stars.",
    "Tide tables are posted at the visitor centre and in most shop windows.",
    "Children love the sandy cove, where the water is shallow and calm.",
    "A short climb brings you to a bench with the finest view in the county.",
    "Evening light turns the harbour walls a warm shade of gold.",
    "Every street corner seems to have a story, and people are happy to tell it.",
};

// Four paragraphs: the keyword's lead, then sentences in an order that changes
// from page to page (a step coprime to the list's length repeats none).
std::vector<std::string> BrochureParagraphs(int page) {
    static constexpr int kSteps[] = {1, 5, 7, 11, 13, 17};
    constexpr int kCount = static_cast<int>(std::size(kTownSentences));
    std::string lead = kLeads[page % std::size(kLeads)];
    lead.replace(lead.find("%s"), 2, kTopics[page - 1][0]);
    std::vector<std::string> paragraphs = {lead, "", "", ""};
    for (int k = 0; k < 12; ++k) {
        std::string& paragraph = paragraphs[k / 3];
        paragraph += paragraph.empty() ? "" : " ";
        paragraph += kTownSentences[(page * 11 + k * kSteps[page % std::size(kSteps)]) % kCount];
    }
    return paragraphs;
}

void DrawBrochureFigure(cairo_t* cr, const Styles& s, int page, double x, double y, double w, double h) {
    RoundedRect(cr, x, y, w, h, 10);
    Fill(cr, kMist);
    const double pad = 24, innerW = w - 2 * pad, innerH = h - 2 * pad - 20;
    const char* caption = "What visitors enjoy most";
    if (page % 4 == 0) {
        DrawBarChart(cr, s.label, x + pad, y + pad, innerW, innerH, Values(page, 6, 15, 70),
                     {"Apr", "May", "Jun", "Jul", "Aug", "Sep"}, kBandColours[page % std::size(kBandColours)]);
        caption = "Visitors per month, in thousands";
    } else if (page % 4 == 1) {
        DrawPieChart(cr, s.body, x + w * 0.3, y + pad + innerH / 2, std::min(innerH * 0.45, w * 0.22),
                     Values(page, 5, 10, 40), {"Car", "Bus", "Train", "Boat", "On foot"});
        caption = "How visitors arrive in town";
    } else if (page % 4 == 2) {
        DrawMap(cr, s.label, x + pad, y + pad, innerW, innerH, page);
        caption = "The bay and the walks nearby";
    } else {
        cairo_save(cr);
        RoundedRect(cr, x + pad, y + pad, innerW, innerH - 110, 8);
        cairo_clip(cr);
        cairo_translate(cr, x + pad, y + pad);
        DrawHarbourScene(cr, innerW, innerH - 110);
        cairo_restore(cr);
        DrawIcons(cr, s.label, x + pad, y + pad + innerH - 94, innerW, page);
    }
    ShowText(cr, s.label, kGrey, caption, x, y + h - pad - 8, w, PANGO_ALIGN_CENTER);
}

// A paragraph that starts with '#' is a heading.
struct JapanesePage {
    std::vector<const char*> paragraphs;
    std::vector<std::vector<std::string>> table;
};

struct Slide {
    const char* title;
    const char* bullets[4];
    const char* visual[4];  // diagram boxes, or chart bars on even slides
};

constexpr Slide kSlideDeck[kSlides] = {
    {"Harbour Guide: Where We Are",
     {"A pocket guide for visitors to the town", "Maps, walks, tide times and events",
      "Works offline on the cliffs and the beach", "Today: progress, numbers, next steps"},
     {"Plan", "Build", "Test", "Release"}},
    {"Who Uses It",
     {"Day visitors arriving by train and bus", "Families staying for a week or more",
      "Walkers on the coastal path", "Shops that list their opening hours"},
     {"Day trips", "Families", "Walkers", "Shops"}},
    {"How Content Flows",
     {"Volunteers write about each place", "An editor checks every entry", "Entries go out twice a week",
      "Readers send corrections from the app"},
     {"Write", "Check", "Publish", "Feedback"}},
    {"Downloads by Quarter",
     {"Steady growth through the year", "Summer is the busiest season", "Most downloads happen on arrival",
      "Posters at the station help"},
     {"Q1", "Q2", "Q3", "Q4"}},
    {"The Team",
     {"Four small groups, one shared plan", "Weekly review on Monday mornings", "Everyone answers support mail",
      "New volunteers join each month"},
     {"Design", "Content", "Engineering", "Support"}},
    {"What Readers Rate Highest",
     {"Scores from the in-app survey", "Maps are the clear favourite", "Event listings need more detail",
      "Tide times are used daily"},
     {"Maps", "Walks", "Events", "Tides"}},
    {"Timeline",
     {"Spring: new walks and photographs", "Summer: event calendar", "Autumn: audio tours",
      "Winter: review and planning"},
     {"Spring", "Summer", "Autumn", "Winter"}},
    {"Budget and Next Steps",
     {"Spending stays within the grant", "Most of it goes to content", "Servers cost less than planned",
      "Questions and discussion"},
     {"Content", "Servers", "Design", "Events"}},
};

}  // namespace

int WriteBrochure(const std::string& path, const Styles& s) {
    PdfDocument pdf(path, kA4Width, kA4Height, "Harbourside: a visitor's guide");
    cairo_t* cr = pdf.Context();
    for (int page = 1; page <= kBrochurePages; ++page) {
        if (page == 1) {
            cairo_save(cr);
            cairo_rectangle(cr, 0, 0, kA4Width, 780);
            cairo_clip(cr);
            DrawHarbourScene(cr, kA4Width, 780);
            cairo_restore(cr);
            ShowText(cr, s.cover, kNavy, "Harbourside", 0, 70, kA4Width, PANGO_ALIGN_CENTER);
            ShowText(cr, s.subtitle, kNavy, "A visitor's guide to the town by the lighthouse", 0, 150, kA4Width,
                     PANGO_ALIGN_CENTER);
        } else {
            FillRect(cr, 0, 0, kA4Width, 96, kBandColours[page % std::size(kBandColours)]);
            ShowText(cr, s.kicker, kWhite, "HARBOURSIDE VISITOR GUIDE", kMargin, 26, 0);
            ShowText(cr, s.heading, kWhite, kTopics[page - 1][1], kMargin, 44, kA4Width - 2 * kMargin);
            const std::vector<std::string> paragraphs = BrochureParagraphs(page);
            const double gutter = 22, columnWidth = (kA4Width - 2 * kMargin - gutter) / 2;
            double textBottom = 0;
            for (int column = 0; column < 2; ++column) {
                double y = 122;
                for (int i = 0; i < 2; ++i)
                    y += ShowText(cr, s.body, kInk, paragraphs[column * 2 + i],
                                  kMargin + column * (columnWidth + gutter), y, columnWidth) + 9;
                textBottom = std::max(textBottom, y);
            }
            // The figure takes whatever room the text leaves.
            DrawBrochureFigure(cr, s, page, kMargin, textBottom + 12, kA4Width - 2 * kMargin, 758 - textBottom);
        }
        DrawFooter(cr, s.label, kA4Width, 805, "Harbourside visitor guide",
                   "Page " + std::to_string(page) + " of " + std::to_string(kBrochurePages));
        pdf.EndPage();
    }
    return pdf.Finish();
}

int WriteJapanese(const std::string& path, const Styles& s) {
    const JapanesePage pages[] = {
        {{"#本日の議題", "1. 前回議事録の確認\n2. 事業の概況\n3. 第3四半期の業績\n4. 来期に向けた取り組み",
          "#はじめに",
          "本資料は、定例経営会議での議論のために経営企画部がまとめたものです。数値はすべて速報値であり、"
          "確定値は来月の会議で報告します。ご不明な点は、会議の前日までに担当者へお問い合わせください。"},
         {}},
        {{"#事業の概況",
          "当期は、主力の計測機器が国内外で堅調に推移しました。特に港湾向けの水位センサーは、自治体からの受注が"
          "前年を大きく上回りました。一方で、部品の調達価格は引き続き高い水準にあり、利益率の改善が課題となっています。",
          "海外では、東南アジアの販売代理店との契約を更新し、現地での保守体制を強化しました。新しい拠点の開設により、"
          "納期は平均で二週間短くなりました。部門別の状況は次のとおりです。"},
         {{"部門", "売上高（百万円）", "前年比", "担当"},
          {"計測機器", "1,240", "108%", "佐藤"},
          {"港湾システム", "860", "115%", "鈴木"},
          {"保守サービス", "410", "102%", "高橋"},
          {"新規事業", "95", "131%", "田中"}}},
        {{"#第3四半期報告",
          "第3四半期（7月〜9月）の売上高は8億7千万円となり、前年同期比で9%の増加となりました。営業利益は"
          "1億1千万円で、計画をわずかに上回っています。受注残高は過去最高を更新し、来期の売上を下支えする見込みです。",
          "四半期ごとの主な数値を以下にまとめます（単位：百万円、従業員数は人）。"},
         {{"項目", "第1四半期", "第2四半期", "第3四半期"},
          {"売上高", "780", "820", "870"},
          {"営業利益", "82", "95", "110"},
          {"受注残高", "1,150", "1,210", "1,340"},
          {"従業員数", "212", "215", "221"}}},
        {{"#今後の取り組み", "来期は、収益力の強化と新しい事業の育成を二本の柱とします。具体的には、次の三点に取り組みます。",
          "・部品の調達先を複数にし、価格変動の影響を抑える\n・保守サービスを年間契約へ順次移行する\n"
          "・新製品の試作を来年3月までに完了する",
          "#スケジュール", "1月：実行計画の提出\n2月：調達先の選定\n3月：試作の完了と評価\n4月：来期の予算確定",
          "各部門は、来月の会議までに実行計画を提出してください。\n以上"},
         {}},
    };
    PdfDocument pdf(path, kA4Width, kA4Height, "みなと精機株式会社 会議資料");
    cairo_t* cr = pdf.Context();
    const double width = kA4Width - 2 * kMargin - 20, left = kMargin + 10;
    for (int page = 1; page <= 4; ++page) {
        const JapanesePage& content = pages[page - 1];
        double y = 70;
        if (page == 1) {
            y += ShowText(cr, s.jpTitle, kNavy, "会議資料", left, y, width) + 6;
            y += ShowText(cr, s.jpBody, kGrey, "みなと精機株式会社　経営企画部\n2026年12月8日　定例経営会議", left, y,
                          width);
            Line(cr, left, y + 14, left + width, y + 14, 2, kNavy);
            y += 40;
        }
        for (const char* paragraph : content.paragraphs) {
            if (paragraph[0] != '#') {
                y += ShowText(cr, s.jpBody, kInk, paragraph, left, y, width) + 12;
                continue;
            }
            FillRect(cr, left, y + 10, 5, 20, kSea);
            y += ShowText(cr, s.jpHeading, kNavy, paragraph + 1, left + 14, y + 8, width - 14) + 20;
        }
        if (!content.table.empty())
            y += DrawTable(cr, s.jpSmall, left, y + 8, {150, 130, 100, width - 380}, content.table) + 40;
        if (page == 2) {
            ShowText(cr, s.jpBody, kNavy, "部門別売上高の構成", left, y, width);
            DrawPieChart(cr, s.jpSmall, left + 130, y + 130, 95, {1240, 860, 410, 95},
                         {"計測機器", "港湾システム", "保守サービス", "新規事業"});
        } else if (page == 3) {
            ShowText(cr, s.jpBody, kNavy, "売上高の推移（百万円）", left, y, width);
            DrawBarChart(cr, s.jpSmall, left + 40, y + 30, width - 80, 220, {780, 820, 870},
                         {"第1四半期", "第2四半期", "第3四半期"}, kSea);
        }
        DrawFooter(cr, s.jpSmall, kA4Width, 805, "みなと精機株式会社　社外秘", "— " + std::to_string(page) + " / 4 —");
        pdf.EndPage();
    }
    return pdf.Finish();
}

int WriteSlides(const std::string& path, const Styles& s) {
    PdfDocument pdf(path, kSlideWidth, kSlideHeight, "Harbour Guide: project review");
    cairo_t* cr = pdf.Context();
    for (int n = 1; n <= kSlides; ++n) {
        const Slide& slide = kSlideDeck[n - 1];
        FillRect(cr, 0, 0, kSlideWidth, kSlideHeight, 0xFAFBFC);
        FillGradient(cr, 0, 0, kSlideWidth, 100, {kNavy, 0x274C77});
        ShowText(cr, s.slideTitle, kWhite, slide.title, 60, 0, kSlideWidth - 120, PANGO_ALIGN_LEFT, 100);
        double y = 150;
        for (const char* bullet : slide.bullets) {
            FillCircle(cr, 72, y + 15, 6, ChartColour(n));
            y += ShowText(cr, s.slideText, kInk, bullet, 92, y, 370) + 20;
        }
        if (n % 2)
            DrawCycle(cr, s.slideLabel, 510, 140, 390, 300, slide.visual);
        else
            DrawBarChart(cr, s.slideLabel, 510, 150, 390, 290, Values(n, 4, 20, 80),
                         {std::begin(slide.visual), std::end(slide.visual)}, kSea);
        DrawFooter(cr, s.body, kSlideWidth, 505, "Harbour Guide · project review",
                   "Slide " + std::to_string(n) + " of " + std::to_string(kSlides));
        pdf.EndPage();
    }
    return pdf.Finish();
}

int WriteLetter(const std::string& path, const Styles& s) {
    PdfDocument pdf(path, kA4Width, kA4Height, "Letter to Ms. Tanaka");
    cairo_t* cr = pdf.Context();
    const double left = 70, width = kA4Width - 140;
    FillCircle(cr, left + 22, 80, 22, kSea);  // the sender's emblem: a wave in a circle
    cairo_move_to(cr, left + 6, 84);
    cairo_curve_to(cr, left + 14, 70, left + 22, 98, left + 38, 78);
    cairo_set_line_width(cr, 3);
    SetColour(cr, kWhite);
    cairo_stroke(cr);
    ShowText(cr, s.letterBold, kInk, "Harbourside Visitor Centre", left, 60, width, PANGO_ALIGN_RIGHT);
    ShowText(cr, s.letter, kGrey, "1 Quay Street\nHarbourside HS1 2AB\nUnited Kingdom\nTel. 01234 567 890", left, 78,
             width, PANGO_ALIGN_RIGHT);
    ShowText(cr, s.letter, kInk, "8 December 2026", left, 190, width);
    ShowText(cr, s.letter, kInk, "Ms. Yuki Tanaka\nTanaka Travel Ltd.\n3-5-1 Minato-machi\nYokohama 231-0001\nJapan",
             left, 225, width);
    double y = 345;
    y += ShowText(cr, s.letterBold, kInk, "Group visit in spring 2027", left, y, width) + 14;
    const char* const body[] = {
        "Dear Ms. Tanaka,",
        "Thank you for your letter of 20 November and for your interest in bringing a group of twenty-four "
        "travellers to Harbourside next spring. We would be delighted to welcome you.",
        "We can offer a guided walk along the coastal path on the morning of 14 April, followed by lunch at "
        "one of the cafés by the water. In the afternoon your group is free to explore the town; our staff "
        "will be on hand at the visitor centre to help with directions and tickets.",
        "I enclose a draft programme and a price list. Please let me know if you would like to change anything; "
        "we are happy to adapt the day to your guests.",
        "We look forward to hearing from you.",
        "Yours sincerely,",
    };
    for (const char* paragraph : body)
        y += ShowText(cr, s.letter, kInk, paragraph, left, y, width) + 12;
    cairo_move_to(cr, left + 4, y + 44);  // the signature, one loose stroke
    cairo_curve_to(cr, left + 20, y + 6, left + 34, y + 50, left + 52, y + 26);
    cairo_curve_to(cr, left + 66, y + 8, left + 78, y + 48, left + 110, y + 30);
    cairo_set_line_width(cr, 1.4);
    SetColour(cr, kNavy);
    cairo_stroke(cr);
    Line(cr, left, y + 56, left + 200, y + 56, 0.7, kGrey);
    ShowText(cr, s.letter, kInk, "Eleanor Price\nManager, Harbourside Visitor Centre", left, y + 62, width);
    pdf.EndPage();
    return pdf.Finish();
}

}  // namespace zov::corpus
