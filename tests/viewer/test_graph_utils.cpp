// The utility unit: result checks and their messages, volume conversions,
// filter and pin lists, pin operations, the table of registered graphs, and
// the posted message the graph's pump runs on.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

#include "framework/qs_messages.h"
#include "tests/support/test_env.h"
#include "viewer/graph_utils.h"

namespace {

class GraphUtils : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { gst_init(nullptr, nullptr); }
};

TEST_F(GraphUtils, CheckGraphResultPassesSuccessAndRaisesFailureWithCodeInMessage) {
  EXPECT_EQ(CheckGraphResult(S_OK), S_OK);
  EXPECT_EQ(CheckGraphResult(S_FALSE), S_FALSE);
  EXPECT_EQ(CheckGraphResult(S_PARTIAL_RENDER), S_PARTIAL_RENDER);
  try {
    CheckGraphResult(E_UNKNOWN_FILE_TYPE);
    FAIL() << "no exception";
  } catch (const EDirectShowException& e) {
    EXPECT_EQ(e.ResultCode(), E_UNKNOWN_FILE_TYPE);
    EXPECT_EQ(e.Message(), ErrorText(E_UNKNOWN_FILE_TYPE) + " ($80040240).");
  }
  // Any failure, known or not, upper-case hexadecimal without padding.
  try {
    CheckGraphResult(static_cast<HRESULT>(0x8ABCDEF1u));
    FAIL() << "no exception";
  } catch (const EDirectShowException& e) {
    EXPECT_EQ(e.ResultCode(), static_cast<HRESULT>(0x8ABCDEF1u));
    EXPECT_TRUE(e.Message().endsWith(" ($8ABCDEF1)."));
    EXPECT_FALSE(e.Message().startsWith(" "));
  }
}

TEST_F(GraphUtils, ErrorTextsAreShortReadableAndDistinctForOurCodes) {
  const HRESULT codes[] = {E_FILE_NOT_FOUND, E_ACCESSDENIED,      E_UNKNOWN_FILE_TYPE, E_INVALID_FILE_FORMAT,
                           E_NO_DECODER,     E_CANNOT_RENDER,     E_TIMEOUT,           E_NO_AUDIO_DEVICE,
                           E_NOT_IN_GRAPH,   E_WRONG_STATE,       E_FAIL,              E_NOTIMPL};
  QStringList texts;
  for (HRESULT hr : codes) {
    const QString text = ErrorText(hr);
    EXPECT_FALSE(text.isEmpty());
    EXPECT_LE(text.size(), 255);
    EXPECT_FALSE(text.endsWith('.')) << text.toStdString();  // the message adds its own
    EXPECT_FALSE(texts.contains(text)) << text.toStdString();
    texts << text;
  }
}

TEST_F(GraphUtils, LinearVolumeAndBalanceConvertToHundredthsOfDecibel) {
  EXPECT_EQ(LinearVolumeToDb(10000), 0);
  EXPECT_EQ(LinearVolumeToDb(5000), -752);
  EXPECT_EQ(LinearVolumeToDb(1000), -2499);
  EXPECT_EQ(LinearVolumeToDb(0), -10000);
  EXPECT_EQ(LinearBalanceToDb(0), 0);
  EXPECT_EQ(LinearBalanceToDb(10000), -10000);
  EXPECT_EQ(LinearBalanceToDb(-10000), 10000);
  EXPECT_EQ(LinearBalanceToDb(5000), -9248);
  EXPECT_EQ(LinearBalanceToDb(-5000), 9248);
  // Monotonic over the whole range.
  for (int v = 1; v <= 10000; ++v) ASSERT_GE(LinearVolumeToDb(v), LinearVolumeToDb(v - 1)) << v;
}

TEST_F(GraphUtils, MediaTimeConvertsToMillisecondsTruncating) {
  EXPECT_EQ(MediaTimeToMs(19999), 1);
  EXPECT_EQ(MediaTimeToMs(20000000), 2000);
  EXPECT_EQ(MediaTimeToMs(-19999), -1);
  EXPECT_EQ(NsToMediaTime(2 * GST_SECOND), 20000000);
}

TEST_F(GraphUtils, FilterListEnumeratesInAddingOrderAndRemovesByIdentity) {
  GstPipeline* graph = GST_PIPELINE(gst_object_ref_sink(gst_pipeline_new("g")));
  GstElement* a = gst_element_factory_make("identity", "first");
  GstElement* b = gst_element_factory_make("identity", "second");
  GstElement* c = gst_element_factory_make("fakesink", "third");
  ASSERT_EQ(AddFilter(graph, a, QString()), S_OK);
  ASSERT_EQ(AddFilter(graph, b, QString()), S_OK);
  ASSERT_EQ(AddFilter(graph, c, QStringLiteral("second")), S_OK);  // taken: numbered
  {
    TFilterList list(graph);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(FilterName(list.Items(0)), "first");
    EXPECT_EQ(FilterName(list.Items(1)), "second");
    EXPECT_EQ(FilterName(list.Items(2)), "second 0001");
    EXPECT_EQ(FilterClassID(list.Items(2)), "fakesink");
    EXPECT_TRUE(list.Remove(b));
    EXPECT_FALSE(list.Remove(b));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Items(1), c);
  }
  // The list only held references: the graph still has all three.
  EXPECT_EQ(TFilterList(graph).Count(), 3);
  gst_object_ref(b);  // removed, b would go with the graph's reference
  EXPECT_EQ(RemoveFilter(graph, b), S_OK);
  EXPECT_EQ(RemoveFilter(graph, b), E_NOT_IN_GRAPH);
  gst_object_unref(b);
  EXPECT_EQ(TFilterList(graph).Count(), 2);
  EXPECT_EQ(TFilterList(nullptr).Count(), 0);
  gst_object_unref(graph);
}

TEST_F(GraphUtils, AddedSinkIsParkedUntilConnectedAndParkedAgainWhenCut) {
  GstPipeline* graph = GST_PIPELINE(gst_object_ref_sink(gst_pipeline_new("g")));
  GstElement* src = gst_element_factory_make("fakesrc", nullptr);
  GstElement* sink = gst_element_factory_make("fakesink", nullptr);
  ASSERT_EQ(AddFilter(graph, src, QString()), S_OK);
  ASSERT_EQ(AddFilter(graph, sink, QString()), S_OK);
  EXPECT_FALSE(IsParked(src));
  EXPECT_TRUE(IsParked(sink));
  EXPECT_FALSE(GST_OBJECT_FLAG_IS_SET(sink, GST_ELEMENT_FLAG_SINK));

  TPinList srcPins(src);
  TPinList sinkPins(sink);
  ASSERT_EQ(srcPins.Count(), 1);
  ASSERT_EQ(sinkPins.Count(), 1);
  EXPECT_EQ(sinkPins.Filter(), sink);
  EXPECT_EQ(DisconnectPin(sinkPins.Items(0)), S_FALSE);
  ASSERT_EQ(ConnectPins(srcPins.Items(0), sinkPins.Items(0)), S_OK);
  EXPECT_FALSE(IsParked(sink));
  EXPECT_TRUE(GST_OBJECT_FLAG_IS_SET(sink, GST_ELEMENT_FLAG_SINK));
  GstPad* peer = ConnectedTo(sinkPins.Items(0));
  EXPECT_EQ(peer, srcPins.Items(0));
  if (peer) gst_object_unref(peer);

  EXPECT_EQ(DisconnectPin(srcPins.Items(0)), S_OK);  // either side cuts the link
  EXPECT_EQ(ConnectedTo(sinkPins.Items(0)), nullptr);
  EXPECT_TRUE(IsParked(sink));
  // Removed, it comes out as it went in, ready for another graph.
  EXPECT_EQ(RemoveFilter(graph, sink), S_OK);
  gst_object_unref(graph);
}

TEST_F(GraphUtils, RunningObjectTableNamesRegisteredGraphsAndDumpsThem) {
  GstPipeline* graph = GST_PIPELINE(gst_object_ref_sink(gst_pipeline_new("g")));
  const QString name = RunningObjectTable::ItemName(graph);
  EXPECT_TRUE(QRegularExpression("^FilterGraph [0-9A-F]{8} pid [0-9A-F]+$").match(name).hasMatch()) << name.toStdString();
  EXPECT_FALSE(RunningObjectTable::Names().contains(name));
  const unsigned cookie = RunningObjectTable::Register(graph);
  ASSERT_NE(cookie, 0u);
  EXPECT_EQ(RunningObjectTable::Names(), QStringList{name});
  const QString dot = testenv::NewTempDir("dot") + "/graph.dot";
  ASSERT_TRUE(RunningObjectTable::DumpGraph(name, dot));
  EXPECT_TRUE(testenv::ReadFile(dot).contains("digraph"));
  EXPECT_FALSE(RunningObjectTable::DumpGraph("FilterGraph 00000000 pid 0", dot + "2"));
  RunningObjectTable::Revoke(cookie);
  EXPECT_TRUE(RunningObjectTable::Names().isEmpty());
  gst_object_unref(graph);
}

class TReceiver : public QObject {
 public:
  bool event(QEvent* e) override {
    if (TqsMessageEvent::MessageOf(e) == 0) return QObject::event(e);
    auto* m = static_cast<TqsMessageEvent*>(e);
    received.push_back({m->Message(), m->WParam(), m->LParam()});
    return true;
  }
  struct Item {
    unsigned message;
    intptr_t w, l;
  };
  std::vector<Item> received;
};

TEST_F(GraphUtils, PostedMessagesArriveLaterInOrderWithTheirParameters) {
  TReceiver receiver;
  PostWindowMessage(&receiver, WM_APP + 1, 7, -3);
  PostWindowMessage(&receiver, WM_USER + 1001);
  EXPECT_TRUE(receiver.received.empty());  // posted, not sent
  testenv::DrainEvents();
  ASSERT_EQ(receiver.received.size(), 2u);
  EXPECT_EQ(receiver.received[0].message, 0x8001u);
  EXPECT_EQ(receiver.received[0].w, 7);
  EXPECT_EQ(receiver.received[0].l, -3);
  EXPECT_EQ(receiver.received[1].message, 2025u);
}

}  // namespace
