// The song's MIDI synthesised in the page by spessasynth_lib, with the live
// controls applied to the running synthesiser: nothing restarts when the
// key, tempo, guide melody or volume changes.
import { WorkletSynthesizer, Sequencer } from 'spessasynth_lib';

// The guide melody's levels: the melody channel's gain.
export const GUIDE_LEVELS = [
  { name: 'off', gain: 0 },
  { name: 'soft', gain: 0.35 },
  { name: 'normal', gain: 1 },
  { name: 'strong', gain: 1.8 },
];

export class Player {
  constructor() {
    this.context = null;
    this.synth = null;
    this.sequencer = null;
    this.melodyChannel = null;
    this.onEnded = () => {};
  }

  // Creates the audio graph and loads the soundfont (SF2 or SF3 bytes).
  async start(soundfont) {
    this.context = new AudioContext({ latencyHint: 'playback' });
    await this.context.audioWorklet.addModule('/synth-worklet.js');
    this.synth = new WorkletSynthesizer(this.context);
    this.synth.connect(this.context.destination);
    await this.synth.soundBankManager.addSoundBank(soundfont, 'main');
    await this.synth.isReady;
    this.sequencer = new Sequencer(this.synth, { skipToFirstNoteOn: false });
    this.sequencer.loopCount = 0;
    this.sequencer.eventHandler.addEvent('songEnded', 'player', () => this.onEnded());
  }

  // An AudioContext made without a user's gesture may start suspended.
  get suspended() {
    return this.context?.state === 'suspended';
  }

  resumeAudio() {
    return this.context?.resume();
  }

  // midi: the .mid file's bytes; settings: the controls' values to start with.
  play(midi, melodyChannel, settings) {
    this.melodyChannel = Number.isInteger(melodyChannel) ? melodyChannel : null;
    this.synth.stopAll(true);
    this.sequencer.loadNewSongList([{ binary: midi, fileName: 'song.mid' }]);
    for (let channel = 0; channel < 16; channel += 1) {
      this.synth.midiChannels[channel]?.setSystemParameter('gain', 1);
    }
    this.apply(settings);
    this.sequencer.play();
  }

  stop() {
    if (!this.sequencer) return;
    this.sequencer.pause();
    this.synth.stopAll(true);
  }

  apply({ key, tempo, guide, volume }) {
    // The synthesiser's own key shift leaves the drum channels alone.
    this.synth.setSystemParameter('keyShift', key);
    this.sequencer.playbackRate = tempo / 100;
    this.synth.setSystemParameter('gain', volume / 100);
    if (this.melodyChannel !== null) {
      this.synth.midiChannels[this.melodyChannel]?.setSystemParameter('gain', GUIDE_LEVELS[guide].gain);
    }
  }

  get paused() {
    return this.sequencer?.paused ?? false;
  }

  setPaused(paused) {
    if (paused) this.sequencer.pause();
    else this.sequencer.play();
  }

  restart() {
    this.sequencer.currentTime = 0;
    if (this.sequencer.paused) this.sequencer.play();
  }

  // Seconds on the MIDI file's own timeline (100 % tempo), whatever the tempo.
  get position() {
    return this.sequencer?.currentTime ?? 0;
  }
}
