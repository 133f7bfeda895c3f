// Scene-graph nodes on a real context: transforms, animation channels, traversal, culling,
// ownership.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "GLTestFixture.h"
#include "GameObject.h"
#include "IRenderPipeline.h"
#include "Light.h"
#include "ModelData.h"
#include "ResourceCache.h"
#include "Texture.h"
#include "VolumetricObject.h"

using namespace VantorEngine;

namespace {

constexpr float kTolerance = 1e-5f;

void expectMatrixNear(const mat4& actual, const mat4& expected, float tolerance = kTolerance) {
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            EXPECT_NEAR(actual[column][row], expected[column][row], tolerance)
                << "element (" << column << ", " << row << ")";
        }
    }
}

void expectVecNear(const vec3& actual, const vec3& expected, float tolerance = kTolerance) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

mat4 columns(vec4 c0, vec4 c1, vec4 c2, vec4 c3) {
    mat4 m;
    m[0] = c0;
    m[1] = c1;
    m[2] = c2;
    m[3] = c3;
    return m;
}

// Records the order in which a traversal hands nodes over.
class RecordingPipeline : public IRenderPipeline {
public:
    void render() override {}
    void draw(GameObject* object) override { visited.push_back(object); }
    std::vector<GameObject*> visited;
};

// A node that notes its own destruction, to observe ownership.
class TracedNode : public GameObject {
public:
    TracedNode(std::string name, std::vector<std::string>* log) : _name(std::move(name)), _log(log) {}
    ~TracedNode() override { _log->push_back(_name); }
    std::string _name;
    std::vector<std::string>* _log;
};

std::shared_ptr<ModelData> unitBoxModel() {
    return std::make_shared<ModelData>(std::vector<vec3>{}, std::vector<vec2>{}, std::vector<vec3>{},
                                       std::vector<vec3>{}, "box", vec3(-1.0f), vec3(1.0f));
}

}  // namespace

class GameObjectTest : public TestSupport::GLTest {};

TEST_F(GameObjectTest, NewNodeStartsAsIdentityLeafWithDefaultFlags) {
    GameObject node;
    expectMatrixNear(node.getLocalMatrix(), mat4(1.0f), 0.0f);
    expectMatrixNear(node.getWorldMatrix(), mat4(1.0f), 0.0f);
    EXPECT_TRUE(node._active);
    EXPECT_EQ(node._layers, 255);
    EXPECT_FLOAT_EQ(node._specularExponent, 5.0f);
    EXPECT_FALSE(node._rotating || node._moving || node._shrinking || node._swinging);
    EXPECT_FALSE(node._shadowMapped || node._isLight || node._isVolume);
    EXPECT_EQ(node.getModel(), nullptr);
    EXPECT_EQ(node.getTexture(), nullptr);
    EXPECT_EQ(node.getParent(), nullptr);
    EXPECT_TRUE(node._children.empty());
    EXPECT_FALSE(node.isVisibleIn(mat4(1.0f)));  // nothing to see without a model
}

struct NodeTransformCase {
    const char* name;
    std::function<void(GameObject&)> apply;
    mat4 expected;
};

class NodeTransformTest : public TestSupport::GLTest, public ::testing::WithParamInterface<NodeTransformCase> {};

TEST_P(NodeTransformTest, OperationsMultiplyOnTheRight) {
    GameObject node;
    GetParam().apply(node);
    expectMatrixNear(node.getLocalMatrix(), GetParam().expected);
}

// Quarter turn about +y: x goes to -z, z goes to +x.
const vec4 kYawX(0, 0, -1, 0), kYawY(0, 1, 0, 0), kYawZ(1, 0, 0, 0), kOrigin(0, 0, 0, 1);

INSTANTIATE_TEST_SUITE_P(
    Cases, NodeTransformTest,
    ::testing::Values(
        NodeTransformCase{"QuarterTurnAboutY",
                      [](GameObject& n) { n.rotate(vec3(0, 1, 0), 90.0f); },
                      columns(kYawX, kYawY, kYawZ, kOrigin)},
        NodeTransformCase{"PositiveAngleTurnsCounterClockwise",
                      [](GameObject& n) { n.rotate(vec3(0, 0, 1), 90.0f); },
                      columns(vec4(0, 1, 0, 0), vec4(-1, 0, 0, 0), vec4(0, 0, 1, 0), kOrigin)},
        NodeTransformCase{"AxisIsNormalised",
                      [](GameObject& n) { n.rotate(vec3(0, 2, 0), 90.0f); },
                      columns(kYawX, kYawY, kYawZ, kOrigin)},
        NodeTransformCase{"TranslationAfterRotationFollowsRotatedAxes",
                      [](GameObject& n) {
                          n.rotate(vec3(0, 1, 0), 90.0f);
                          n.translate(1.0f, 0.0f, 0.0f);
                      },
                      columns(kYawX, kYawY, kYawZ, vec4(0, 0, -1, 1))},
        NodeTransformCase{"RotationAfterTranslationKeepsPosition",
                      [](GameObject& n) {
                          n.translate(1.0f, 0.0f, 0.0f);
                          n.rotate(vec3(0, 1, 0), 90.0f);
                      },
                      columns(kYawX, kYawY, kYawZ, vec4(1, 0, 0, 1))},
        NodeTransformCase{"TranslationAfterScaleMovesInScaledUnits",
                      [](GameObject& n) {
                          n.scale(2.0f, 3.0f, 4.0f);
                          n.translate(vec3(1.0f, 1.0f, 1.0f));
                      },
                      columns(vec4(2, 0, 0, 0), vec4(0, 3, 0, 0), vec4(0, 0, 4, 0), vec4(2, 3, 4, 1))},
        NodeTransformCase{"SetPositionKeepsRotationAndScale",
                      [](GameObject& n) {
                          n.rotate(vec3(0, 0, 1), 90.0f);
                          n.scale(2.0f, 2.0f, 2.0f);
                          n.translate(5.0f, 5.0f, 5.0f);
                          n.setPosition(1.0f, 2.0f, 3.0f);
                      },
                      columns(vec4(0, 2, 0, 0), vec4(-2, 0, 0, 0), vec4(0, 0, 2, 0), vec4(1, 2, 3, 1))},
        NodeTransformCase{"SetLocalMatrixReplacesEverything",
                      [](GameObject& n) {
                          n.rotate(vec3(1, 0, 0), 30.0f);
                          n.setLocalMatrix(columns(vec4(1, 2, 3, 4), vec4(5, 6, 7, 8), vec4(9, 10, 11, 12),
                                                   vec4(13, 14, 15, 16)));
                      },
                      columns(vec4(1, 2, 3, 4), vec4(5, 6, 7, 8), vec4(9, 10, 11, 12), vec4(13, 14, 15, 16))}),
    [](const ::testing::TestParamInfo<NodeTransformCase>& info) { return std::string(info.param.name); });

TEST_F(GameObjectTest, WorldMatrixComposesFromTheRootDown) {
    auto* parent = new GameObject;
    parent->translate(0.0f, 5.0f, 0.0f);
    auto* child = new GameObject;
    child->translate(1.0f, 0.0f, 0.0f);
    parent->addChild(child);
    expectVecNear(child->getWorldPosition(), vec3(1.0f, 5.0f, 0.0f));

    // Turning the parent afterwards carries the child along; nothing is cached.
    parent->rotate(vec3(0, 1, 0), 90.0f);
    expectVecNear(child->getWorldPosition(), vec3(0.0f, 5.0f, -1.0f));
    expectVecNear(vec3(child->getLocalMatrix()[3]), vec3(1.0f, 0.0f, 0.0f));
    delete parent;
}

// Frame-time splits of one second (and of longer runs), the same for every channel.
using Split = std::vector<double>;

static std::vector<double> repeat(double dt, int count) { return std::vector<double>(count, dt); }

class NodeAnimationSplitTest : public TestSupport::GLTest, public ::testing::WithParamInterface<Split> {
protected:
    static void run(GameObject& node, const Split& split) {
        for (double dt : split) node.update(dt);
    }
};

TEST_P(NodeAnimationSplitTest, SpinTurnsTwentyDegreesPerSecondWhateverTheSplit) {
    GameObject node;
    node._rotating = true;
    node._rotationAxis = vec3(0, 1, 0);
    node._rotationSpeed = 20.0f;
    run(node, GetParam());
    const mat4 expected = rotationMatrix(20.0f, vec3(0, 1, 0));
    expectMatrixNear(node.getLocalMatrix(), expected, 1e-4f);
    EXPECT_NEAR(node.getLocalMatrix()[0].z, -std::sin(20.0f * degreesToRadians), 1e-4f);
}

TEST_P(NodeAnimationSplitTest, MovementFollowsTheNodesOwnAxes) {
    GameObject node;
    node.rotate(vec3(0, 1, 0), 90.0f);
    node._moving = true;
    node._velocity = vec3(2.0f, 0.0f, 0.0f);
    run(node, GetParam());
    expectVecNear(node.getWorldPosition(), vec3(0.0f, 0.0f, -2.0f), 1e-4f);
}

TEST_P(NodeAnimationSplitTest, ShrinkAtLnTwoHalvesTheSizeInOneSecond) {
    GameObject node;
    node._shrinking = true;
    node._shrinkRate = std::log(2.0f);
    run(node, GetParam());
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_NEAR(glm::length(vec3(node.getLocalMatrix()[axis])), 0.5f, 1e-4f) << "axis " << axis;
    }
}

INSTANTIATE_TEST_SUITE_P(OneSecond, NodeAnimationSplitTest,
                         ::testing::Values(Split{1.0}, repeat(0.1, 10), repeat(1.0 / 60.0, 60),
                                           Split{0.7, 0.2, 0.05, 0.05}, repeat(1.0 / 3.0, 3)));

TEST_F(GameObjectTest, SwingTurnsToItsLimitAndBack) {
    GameObject node;
    node._rotating = true;
    node._swinging = true;
    node._swingLimit = 90.0f;
    node._rotationAxis = vec3(0, 1, 0);
    node._rotationSpeed = 45.0f;
    const auto advance = [&node](double seconds) {
        for (int i = 0; i < static_cast<int>(seconds / 0.25 + 0.5); ++i) node.update(0.25);
    };
    struct Checkpoint {
        double after;        // seconds since the previous checkpoint
        float swingAngle;    // degrees
        bool returning;
        float turnedDegrees; // total turn about +y so far
    };
    const Checkpoint checkpoints[] = {
        {1.0, 45.0f, false, -45.0f},  // first swing goes the negative way
        {1.0, 90.0f, true, -90.0f},   // the limit flips the direction
        {1.0, 45.0f, true, -45.0f},
        {1.0, 0.0f, false, 0.0f},     // back at the start, ready to swing out again
        {0.25, 11.25f, false, -11.25f},
    };
    double elapsed = 0.0;
    for (const Checkpoint& c : checkpoints) {
        advance(c.after);
        elapsed += c.after;
        SCOPED_TRACE(testing::Message() << "after " << elapsed << " s");
        EXPECT_NEAR(node._swingAngle, c.swingAngle, 1e-4f);
        EXPECT_EQ(node._swingReturning, c.returning);
        expectMatrixNear(node.getLocalMatrix(), rotationMatrix(c.turnedDegrees, vec3(0, 1, 0)), 1e-4f);
    }
}

TEST_F(GameObjectTest, UpdateReachesChildrenEvenWhenInactive) {
    GameObject parent;
    auto* child = new GameObject;
    auto* grandchild = new GameObject;
    child->_active = false;
    child->_moving = true;
    child->_velocity = vec3(1, 0, 0);
    grandchild->_moving = true;
    grandchild->_velocity = vec3(0, 1, 0);
    parent.addChild(child);
    child->addChild(grandchild);
    parent.update(0.5);
    expectVecNear(vec3(child->getLocalMatrix()[3]), vec3(0.5f, 0.0f, 0.0f));
    expectVecNear(vec3(grandchild->getLocalMatrix()[3]), vec3(0.0f, 0.5f, 0.0f));
}

struct NodeTraversalCase {
    const char* name;
    std::vector<std::string> inactive;   // nodes switched off before traversal
    std::vector<std::string> expected;   // visit order
};

class NodeTraversalTest : public TestSupport::GLTest, public ::testing::WithParamInterface<NodeTraversalCase> {};

// Tree: root -> A -> A1, root -> B -> B1 -> B11 (a light), B -> V (a volumetric object).
TEST_P(NodeTraversalTest, VisitsActiveSubtreesChildrenFirst) {
    std::map<std::string, GameObject*> nodes;
    std::map<GameObject*, std::string> names;
    auto* root = new GameObject;
    const auto add = [&](const std::string& name, GameObject* parent, GameObject* node) {
        nodes[name] = node;
        names[node] = name;
        if (parent) parent->addChild(node);
        return node;
    };
    add("root", nullptr, root);
    GameObject* a = add("A", root, new GameObject);
    add("A1", a, new GameObject);
    GameObject* b = add("B", root, new GameObject);
    GameObject* b1 = add("B1", b, new GameObject);
    add("B11", b1, new Light(vec3(0.0f), 1, 1, 1, vec3(1), vec3(0), vec3(0), 1, 10));
    add("V", b, new VolumetricObject);
    for (const std::string& name : GetParam().inactive) nodes.at(name)->_active = false;

    RecordingPipeline pipeline;
    root->traverse(&pipeline);
    std::vector<std::string> order;
    for (GameObject* visited : pipeline.visited) order.push_back(names.at(visited));
    EXPECT_EQ(order, GetParam().expected);
    delete root;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NodeTraversalTest,
    ::testing::Values(
        NodeTraversalCase{"AllActive", {}, {"A1", "A", "B11", "B1", "V", "B", "root"}},
        NodeTraversalCase{"InactiveSubtreeIsSkipped", {"B1"}, {"A1", "A", "V", "B", "root"}},
        NodeTraversalCase{"InactiveLeaf", {"A1"}, {"A", "B11", "B1", "V", "B", "root"}},
        NodeTraversalCase{"InactiveRootVisitsNothing", {"root"}, {}},
        NodeTraversalCase{"ActiveChildOfInactiveNodeIsSkipped", {"B"}, {"A1", "A", "root"}}),
    [](const ::testing::TestParamInfo<NodeTraversalCase>& info) { return std::string(info.param.name); });

struct NodeVisibilityCase {
    const char* name;
    mat4 mvp;
    bool visible;
};

class NodeVisibilityTest : public TestSupport::GLTest, public ::testing::WithParamInterface<NodeVisibilityCase> {};

// The model is the box from (-1, -1, -1) to (1, 1, 1); with w = 1 the clip range is [-1, 1).
TEST_P(NodeVisibilityTest, AnyCornerWithOneCoordinateInHalfOpenRange) {
    GameObject node;
    node.setModel(unitBoxModel());
    EXPECT_EQ(node.isVisibleIn(GetParam().mvp), GetParam().visible);
}

static mat4 withW(float w) {
    mat4 m(1.0f);
    m[3][3] = w;
    return m;
}

// A 45-degree camera five units from the box, looking towards it or away from it.
static mat4 cameraAtFive(float lookZ) {
    return perspective(45.0f, 4.0f / 3.0f, 0.01f, 50.0f) *
           lookAt(vec3(0.0f, 0.0f, 5.0f), vec3(0.0f, 0.0f, lookZ), vec3(0.0f, 1.0f, 0.0f));
}

static mat4 withNaN() {
    mat4 m(1.0f);
    m[3][3] = std::numeric_limits<float>::quiet_NaN();
    return m;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NodeVisibilityTest,
    ::testing::Values(
        NodeVisibilityCase{"BoxAroundTheOrigin", mat4(1.0f), true},
        NodeVisibilityCase{"OnlyXInRangeSuffices", translationMatrix(0.0f, 100.0f, 100.0f), true},
        NodeVisibilityCase{"OnlyZInRangeSuffices", translationMatrix(100.0f, -100.0f, 0.5f), true},
        NodeVisibilityCase{"LowerBoundIsInside", translationMatrix(-2.0f, 100.0f, 100.0f), true},
        NodeVisibilityCase{"UpperBoundIsOutside", translationMatrix(2.0f, 100.0f, 100.0f), false},
        NodeVisibilityCase{"FarAwayOnEveryAxis", translationMatrix(10.0f, 10.0f, 10.0f), false},
        NodeVisibilityCase{"EntirelyBehindTheCamera", withW(-1.0f), false},
        NodeVisibilityCase{"CameraFacingTheBox", cameraAtFive(0.0f), true},
        NodeVisibilityCase{"CameraFacingAway", cameraAtFive(10.0f), false},
        NodeVisibilityCase{"NaNCountsAsOutside", withNaN(), false}),
    [](const ::testing::TestParamInfo<NodeVisibilityCase>& info) { return std::string(info.param.name); });

TEST_F(GameObjectTest, SecondParentIsRefusedWithMessage) {
    GameObject first;
    GameObject second;
    auto* child = new GameObject;
    first.addChild(child);

    testing::internal::CaptureStdout();
    second.addChild(child);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "child can only have one parent!");
    EXPECT_EQ(child->getParent(), &first);
    EXPECT_EQ(first._children, std::vector<GameObject*>{child});
    EXPECT_TRUE(second._children.empty());
}

TEST_F(GameObjectTest, AttachingAnAncestorIsRefused) {
    GameObject root;
    auto* child = new GameObject;
    root.addChild(child);
    child->addChild(&root);  // root has no parent, but would close a cycle
    root.addChild(&root);
    EXPECT_EQ(root.getParent(), nullptr);
    EXPECT_TRUE(child->_children.empty());
    EXPECT_EQ(root._children, std::vector<GameObject*>{child});
    RecordingPipeline pipeline;
    root.traverse(&pipeline);
    EXPECT_EQ(pipeline.visited.size(), 2u);
}

TEST_F(GameObjectTest, DeletingANodeDeletesItsSubtreeInChildOrder) {
    std::vector<std::string> log;
    auto* root = new TracedNode("root", &log);
    auto* a = new TracedNode("A", &log);
    auto* b = new TracedNode("B", &log);
    root->addChild(a);
    root->addChild(b);
    a->addChild(new TracedNode("A1", &log));
    delete root;
    // A derived destructor body runs before the base part deletes the children.
    EXPECT_EQ(log, (std::vector<std::string>{"root", "A", "A1", "B"}));
}

TEST_F(GameObjectTest, DeletedChildLeavesItsParentsList) {
    GameObject parent;
    auto* a = new GameObject;
    auto* b = new GameObject;
    parent.addChild(a);
    parent.addChild(b);
    delete a;
    EXPECT_EQ(parent._children, std::vector<GameObject*>{b});
    RecordingPipeline pipeline;
    parent.traverse(&pipeline);
    EXPECT_EQ(pipeline.visited, (std::vector<GameObject*>{b, &parent}));
}

TEST_F(GameObjectTest, ModelBringsTheTextureItNames) {
    GameObject node;
    auto model = unitBoxModel();
    node.setModel(model);
    EXPECT_EQ(node.getModel(), model);
    // The model names no texture, so the node holds the cache's entry for the empty path.
    EXPECT_EQ(node.getTexture(), getOrCreateTexture(""));
    EXPECT_EQ(node.getTexture()->_id, 0u);

    GameObject bare;
    bare.setTexture("");  // no model to take a path from: nothing changes
    EXPECT_EQ(bare.getTexture(), nullptr);
    bare.setTexture("resources\\textures\\does-not-exist.bmp");
    EXPECT_EQ(bare.getTexture(), getOrCreateTexture("resources\\textures\\does-not-exist.bmp"));
}
